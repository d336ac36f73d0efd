#pragma once
// What overwriting a file in place can achieve where it is stored. Writing every byte of a
// file several times destroys its old contents only when the filesystem puts the new bytes
// where the old ones were; copy-on-write filesystems, shared blocks, data journals, network
// servers and layered filesystems all keep old copies that no file-level write can reach.
// The shredder asks before the first pass and checks again after the last one, so that it
// never calls a file permanently deleted while its old bytes may still be on the disk.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quenvor::platform {

enum class OverwriteOutcome {
    InPlace,    // the passes replaced the old bytes where they lay
    MayRemain,  // the file is overwritten and removed, but old copies may stay on the disk
};

enum class RemainReason {
    None,
    CopyOnWrite,         // the filesystem writes every change to new blocks (btrfs, ZFS, bcachefs, F2FS)
    SharedExtents,       // another file or a snapshot holds the same blocks (reflinks)
    Journal,             // the filesystem writes file data to its journal too (ext4 data=journal)
    NetworkOrUserSpace,  // NFS, SMB, FUSE...: a server or a program decides where bytes go
    Overlay,             // an overlay or union filesystem: the lower layer keeps the original
    Stacked,             // eCryptfs: the filesystem below decides where the encrypted bytes go
    Compressed,          // compressed or otherwise encoded data is rewritten elsewhere
    Moved,               // the block map after the passes differs from the one before them
    Unverifiable,        // an unknown filesystem that cannot tell where the data lies
    LowerLayer,          // in an overlay's read-only lower layer: hidden from view, never written
};

// One piece of the file's block map: `length` bytes at `logical` in the file lie at
// `physical` on the device.
struct ExtentRange {
    std::uint64_t logical = 0;
    std::uint64_t physical = 0;
    std::uint64_t length = 0;
    bool operator==(const ExtentRange&) const = default;
};

struct StorageVerdict {
    OverwriteOutcome outcome = OverwriteOutcome::InPlace;
    RemainReason reason = RemainReason::None;
    std::string filesystem;       // as the system names it: "btrfs", "ext4", "fuse.sshfs"
    bool extentsChecked = false;  // the block map could be read (and, after verify, compared)
    // What could not be checked and why (English, for a log); empty when nothing that matters
    // was left unchecked. A file overwritten in place but not checked gets text 223.
    std::string unverified;
    std::vector<ExtentRange> extents;  // where the data lay when the file was examined

    bool inPlace() const { return outcome == OverwriteOutcome::InPlace; }
};

namespace storage_text {
inline constexpr int kLowerLayerKept = 340;  // the reason for a file in an overlay's lower layer
inline constexpr int kLayerUnknown = 341;    // why a file of an overlay was left alone
}  // namespace storage_text

// The string-table id of the one-line reason, 0 for None.
constexpr int remainReasonTextId(RemainReason r) {
    switch (r) {
        case RemainReason::None:
            return 0;
        case RemainReason::CopyOnWrite:
            return 214;
        case RemainReason::SharedExtents:
            return 215;
        case RemainReason::Journal:
            return 216;
        case RemainReason::NetworkOrUserSpace:
            return 217;
        case RemainReason::Overlay:
            return 218;
        case RemainReason::Stacked:
            return 219;
        case RemainReason::Compressed:
            return 220;
        case RemainReason::Moved:
            return 221;
        case RemainReason::Unverifiable:
            return 222;
        case RemainReason::LowerLayer:
            return storage_text::kLowerLayerKept;
    }
    return 0;
}

// Texts the shredder shows around the reasons.
namespace storage_text {
inline constexpr int kFileMayRemain = 210;      // header of a single file's message
inline constexpr int kFolderMayRemain = 211;    // header when every file was removed but some may remain
inline constexpr int kCountMayRemain = 212;     // "%1 files were removed, but ..." in a folder report
inline constexpr int kCountMayRemainOne = 224;  // the same line for a single file
inline constexpr int kConfirmNote = 213;        // sentence added to a confirmation, %1 = reason
inline constexpr int kNotChecked = 223;         // the block map could not be compared after the passes
}  // namespace storage_text

// Where a file of a layered filesystem (overlayfs) lies. Writing to a file of the read-only
// lower layer makes the overlay copy it whole into the upper layer first, so such a file is
// never opened for writing: it can only be hidden, and its original stays below.
enum class FileLayer {
    Own,    // not on a layered filesystem: the file lies on the folder's own filesystem
    Upper,  // in the writable upper layer: overwritten in place there like on any filesystem
    Lower,  // in a read-only lower layer
};

struct DeviceKind {
    bool known = false;       // the block device behind the path was found
    bool solidState = false;  // not rotational: the drive remaps writes internally
    bool discard = false;     // the device accepts discards (TRIM)
};

class IStorageProbe {
public:
    virtual ~IStorageProbe() = default;
    // Before the first pass, on the descriptor every pass will use. A folder's handle gives
    // the verdict for files created in it (its filesystem, mount and inherited flags).
    virtual Result<StorageVerdict> examine(std::intptr_t nativeHandle) = 0;
    // After the last pass has been flushed, before the file is truncated: reads the block map
    // again and compares it with `before`. Never better than `before`.
    virtual StorageVerdict verify(std::intptr_t nativeHandle, const StorageVerdict& before) = 0;
    // The same as examine for a file or folder named by path (never follows a final link),
    // for the confirmation before a run.
    virtual Result<StorageVerdict> examinePath(const std::filesystem::path& p) = 0;
    // The drive holding the path, for the help note about solid-state drives.
    virtual DeviceKind device(const std::filesystem::path& p) = 0;
    // Which layer holds `name`, a file found in the open folder, asked before it is opened.
    // An error when the folder is layered but the layer cannot be told.
    virtual Result<FileLayer> layerOf(std::intptr_t folderHandle, const std::string& name) = 0;
};

}  // namespace quenvor::platform
