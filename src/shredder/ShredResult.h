#pragma once
#include <string>

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
    KeptGrowing,     // another program kept appending to it: overwritten as it was, left in place
};

struct ShredResult {
    ShredStatus status = ShredStatus::Shredded;
    std::string detail;  // the system's words for what failed
    bool ok() const { return status == ShredStatus::Shredded; }
};

}  // namespace quenvor::shredder
