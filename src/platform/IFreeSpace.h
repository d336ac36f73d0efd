#pragma once
// The free space of the filesystem holding a folder, as a wipe of it needs to see it: how much
// there is for anyone and for this user, how the folder keeps its names, new files made in a
// held folder, and the discard (TRIM) of what is free.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/IFileService.h"
#include "platform/Result.h"

namespace quenvor::platform {

struct SpaceFacts {
    std::uint64_t total = 0;      // bytes the filesystem holds
    std::uint64_t free = 0;       // free for anyone, the administrator's reserve included
    std::uint64_t available = 0;  // free for this user: reserves and quotas left out
    std::uint32_t blockSize = 4096;
    std::uint32_t nameMax = 255;  // the longest name a folder takes, in bytes (UTF-16 units on Windows)
    std::string filesystem;       // its type where the system names it here ("NTFS"); else empty
};

// Where a folder's names lie once their files are removed.
struct NameTable {
    // The folder keeps its names in blocks of its own that only grow (ext2/3/4, FAT): new names go
    // into the gaps removed ones left, so filling those blocks reaches every old name of the folder.
    // Otherwise names live in a tree shared with the whole filesystem (btrfs, XFS, NTFS's MFT),
    // where no bounded number of new names is known to reach them all.
    bool bounded = false;
    std::uint64_t bytes = 0;  // the size of those blocks when bounded
    // Small files keep their contents with their name (NTFS's MFT records): each new name then
    // carries this many bytes of data too, so the old contents of a record are written over.
    std::uint32_t residentBytes = 0;
    // A filesystem log (ext3/ext4's journal) keeps whole copies of the folder blocks it changed
    // lately, old names among them, until later changes have gone once round it: its length in
    // bytes (an upper estimate), 0 when there is none or it cannot be known.
    std::uint64_t journalBytes = 0;
};

// Where a filesystem log writes next, as XFS tells it: the times it has gone round, and the
// place in this round in 512-byte units.
struct JournalHead {
    std::uint64_t cycle = 0;
    std::uint64_t block = 0;
};

class IFreeSpace {
public:
    virtual ~IFreeSpace() = default;
    virtual Result<SpaceFacts> space(IDirectory& folder) = 0;
    virtual Result<NameTable> names(IDirectory& folder) = 0;
    // A new file in the held folder; an existing name, a link among them, is never opened.
    virtual Result<std::unique_ptr<IWritableFile>> createFile(IDirectory& folder, const std::string& name) = 0;
    // A new folder in the held one, hidden where the system marks such folders (Windows).
    virtual Status makeFolder(IDirectory& parent, const std::string& name) = 0;
    // Tells the drive that the free space of the folder's filesystem holds nothing (FITRIM, as
    // fstrim does); the bytes the filesystem says it discarded. Needs the administrator on Linux.
    virtual Result<std::uint64_t> discardFree(IDirectory& folder) = 0;
    // Puts in place on the disk what the folder's filesystem has only in memory or its journal
    // (syncfs): a block the fill's own bookkeeping took from the free space was written over only
    // once it is there, and removing the fill first would free it with its old contents.
    virtual Status writeBack(IDirectory& /*folder*/) { return {}; }
    // Where the folder's filesystem log writes next, where the system tells it; nullopt elsewhere,
    // and then a log is known to have gone round only from what was written through it.
    virtual std::optional<JournalHead> journalHead(IDirectory& /*folder*/) { return std::nullopt; }
};

}  // namespace quenvor::platform
