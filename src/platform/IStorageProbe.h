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
    // What could not be checked and why, in English for a log, never shown; empty when nothing
    // that matters was left unchecked.
    std::string unverified;
    std::vector<ExtentRange> extents;  // where the data lay when the file was examined

    bool inPlace() const { return outcome == OverwriteOutcome::InPlace; }
};

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
