#pragma once
// The file operations the shredder and the cleaning need. Nothing here follows a
// symbolic link unless its name says so: callers rely on that to stay inside a target.
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quenvor::platform {

enum class FileType { NotFound, Regular, Directory, Symlink, Socket, Fifo, Device, Other };

// What tells two files apart on this system, whatever their names: a name that still shows
// the identity seen earlier still refers to the same file.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

struct FileStatus {
    FileType type = FileType::NotFound;
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t hardLinks = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    bool readOnly = false;        // no write permission for its owner
    std::uint32_t ownerId = 0;
    // Which mount it was reached through, where the system tells (0 where it does not): a bind
    // mount shares its device number with the filesystem it shows, never its mount.
    std::uint64_t mountId = 0;
    FileIdentity identity() const { return {device, inode}; }
};

// A stretch of a file: `length` bytes from `offset`.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    std::uint64_t end() const { return offset + length; }
    bool operator==(const ByteRange&) const = default;
};

struct DirectoryEntry {
    std::string name;  // UTF-8, a single component
    FileType type = FileType::Other;
};

// A file opened for writing in place: its contents are replaced, never truncated or recreated.
// It stays the same file whatever happens to its name while it is open.
class IWritableFile {
public:
    virtual ~IWritableFile() = default;
    // What the open file itself is (not what its name refers to now).
    virtual Result<FileStatus> status() = 0;
    // The system's handle of the open file (a descriptor on POSIX), for probes that need it.
    virtual std::intptr_t nativeHandle() const = 0;
    virtual Result<std::uint64_t> length() = 0;
    virtual Status writeAt(std::uint64_t offset, std::span<const std::byte> data) = 0;
    // Where the file holds data, in order and within its length. A sparse file's holes are left
    // out: writing only these ranges allocates nothing, so overwriting a huge sparse file cannot
    // fill the disk. Where the system cannot tell, the whole file is one range.
    virtual Result<std::vector<ByteRange>> dataRanges() {
        auto n = length();
        if (!n) return n.error();
        if (*n == 0) return std::vector<ByteRange>{};
        return std::vector<ByteRange>{{0, *n}};
    }
    // The bytes of storage the file holds now (holes take none); 0 where the system cannot tell.
    virtual Result<std::uint64_t> allocatedBytes() { return std::uint64_t{0}; }
    // Gives the storage of a range back to the filesystem; the range then reads as zeros and the
    // length stays. For undoing what writes into holes took.
    virtual Status releaseRange(std::uint64_t offset, std::uint64_t length) {
        (void)offset;
        (void)length;
        return Error{ENOSYS, "this file cannot give storage back"};
    }
    virtual Status flushToDevice() = 0;  // data reaches the device before this returns
    // Starts writing a range to the device without waiting for it, so the writer goes on while
    // the device works; flushToDevice still has to follow. Where the system has no such call,
    // the range is flushed at once.
    virtual Status startFlush(std::uint64_t offset, std::uint64_t length) {
        (void)offset;
        (void)length;
        return flushToDevice();
    }
    virtual Status truncate(std::uint64_t length) = 0;
    virtual Status close() = 0;
};

// An open folder. Names are looked up inside it and never through a path again, so a folder
// renamed, or replaced by a link, after it was opened cannot send them anywhere else. Names are
// single components; nothing here follows a symbolic link or creates a file.
class IDirectory {
public:
    virtual ~IDirectory() = default;
    // Where it was when opened, for messages; the folder may have moved since.
    virtual const std::filesystem::path& path() const = 0;
    virtual Result<FileStatus> status() = 0;  // the open folder itself
    virtual Result<std::vector<DirectoryEntry>> list() = 0;
    virtual Result<FileStatus> statAt(const std::string& name) = 0;  // type NotFound when missing
    // A regular file for writing in place; a link, folder, device or pipe is refused unopened.
    virtual Result<std::unique_ptr<IWritableFile>> openFile(const std::string& name) = 0;
    // A subfolder; a link to a folder is refused.
    virtual Result<std::unique_ptr<IDirectory>> openDir(const std::string& name) = 0;
    // Never replaces an existing entry.
    virtual Status renameAt(const std::string& from, const std::string& to) = 0;
    virtual Status unlinkAt(const std::string& name, bool folder) = 0;
    virtual Status setWritableAt(const std::string& name) = 0;  // refuses a link
    virtual Status setWritable() = 0;                           // the open folder itself
    virtual Status flush() = 0;                                 // its entries reach the device
    virtual std::intptr_t nativeHandle() const = 0;
};

class IFileService {
public:
    virtual ~IFileService() = default;
    // The last component is not followed: a link there is refused.
    virtual Result<std::unique_ptr<IDirectory>> openDirectory(const std::filesystem::path& p) = 0;
    // For what the user chose to destroy: the path is resolved one component at a time from the
    // root and no link anywhere on the way is followed (one is refused), so the folder opened is
    // the one the path names now and can be held from then on. On Windows the folder opened
    // cannot be renamed or moved while it stays open.
    virtual Result<std::unique_ptr<IDirectory>> openDirectoryNoLinks(const std::filesystem::path& p) = 0;
    virtual Result<FileStatus> status(const std::filesystem::path& p) = 0;  // never follows a link
    virtual Result<std::unique_ptr<IWritableFile>> openInPlace(const std::filesystem::path& p) = 0;
    // A file, link or other non-folder is unlinked (a link as a link); an empty folder is removed.
    virtual Status remove(const std::filesystem::path& p) = 0;
    virtual Status removeAtNextStart(const std::filesystem::path& p) = 0;
    virtual Status rename(const std::filesystem::path& from, const std::filesystem::path& to) = 0;
    virtual Status setWritable(const std::filesystem::path& p) = 0;
    virtual Status flushDirectory(const std::filesystem::path& dir) = 0;
    virtual Result<std::vector<DirectoryEntry>> list(const std::filesystem::path& dir) = 0;
    // What a symbolic link points to, as written in the link (never resolved).
    virtual Result<std::string> readLink(const std::filesystem::path& link) = 0;
    // The "short form" of an existing path (the path itself where the system has no 8.3
    // names); empty when the path does not exist.
    virtual std::string shortForm(const std::filesystem::path& p) = 0;
    // Roots of the mounted local disk filesystems (the system's fixed drives).
    virtual std::vector<std::filesystem::path> fixedDiskRoots() = 0;
};

}  // namespace quenvor::platform
