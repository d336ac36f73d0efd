#pragma once
#include <string>
#include <utility>

#include "platform/IStorageProbe.h"

namespace quenvor::shredder {

enum class ShredStatus {
    Shredded,        // every pass written and flushed, then removed
    NotFound,        // nothing at that path
    NotRegularFile,  // a folder, link, device...: never opened for writing
    NoPasses,        // a negative pass count: nothing written, nothing removed
    OpenFailed,      // left untouched
    WriteFailed,     // possibly partly overwritten, left in place
    RemovalPending,  // overwritten, but still there; listed for removal at the next start
    RemovalFailed,   // overwritten, but still there and could not even be listed
    Changed,         // the name no longer led to the file chosen (or it gained names): nothing written
    NameReplaced,    // overwritten and emptied, but its name now leads to another file, left alone
    NameMoved,       // overwritten and emptied, but its name was gone by then: moved or renamed meanwhile
    KeptGrowing,     // another program kept appending to it: overwritten as it was, left in place
    DiskFull,        // a write found the disk full: stopped there, possibly partly overwritten, left in place
    Unexpected,      // an unexpected error stopped the shred part way: it may be partly overwritten
    NotHidden,       // in an overlay's lower layer, so never written, and its name could not be removed
    LayerUnknown,    // on an overlay whose layer holding it could not be told: left untouched
};

// What the passes could achieve where the file lies, as far as anyone could tell.
struct StorageNote {
    platform::OverwriteOutcome outcome = platform::OverwriteOutcome::InPlace;
    platform::RemainReason reason = platform::RemainReason::None;
    bool unchecked = false;  // in place as far as known, but the block map could not be compared
    bool mayRemain() const { return outcome == platform::OverwriteOutcome::MayRemain; }
};

// Never dropped: a shred that did not happen must reach whoever asked for it.
struct [[nodiscard]] ShredResult {
    ShredResult() = default;
    ShredResult(ShredStatus s, std::string d = {}) : status(s), detail(std::move(d)) {}  // NOLINT: implicit by design

    ShredStatus status = ShredStatus::Shredded;
    std::string detail;  // the system's words for what failed
    StorageNote storage;
    bool ok() const { return status == ShredStatus::Shredded; }
    // Removed, but old copies of its contents may still be on the disk.
    bool removedButMayRemain() const { return ok() && storage.mayRemain(); }
};

}  // namespace quenvor::shredder
