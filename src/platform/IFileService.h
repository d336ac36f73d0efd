#pragma once
// The file operations the shredder and the cleaning need. Nothing here follows a
// symbolic link unless its name says so: callers rely on that to stay inside a target.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quenvor::platform {

enum class FileType { NotFound, Regular, Directory, Symlink, Socket, Fifo, Device, Other };

struct FileStatus {
    FileType type = FileType::NotFound;
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t hardLinks = 0;
    std::int64_t modifiedNs = 0;  // modification time, nanoseconds since the epoch
    bool readOnly = false;        // no write permission for its owner
    std::uint32_t ownerId = 0;
};

struct DirectoryEntry {
    std::string name;  // UTF-8, a single component
    FileType type = FileType::Other;
};

// A file opened for writing in place: its contents are replaced, never truncated or recreated.
class IWritableFile {
public:
    virtual ~IWritableFile() = default;
    virtual Result<std::uint64_t> length() = 0;
    virtual Status writeAt(std::uint64_t offset, std::span<const std::byte> data) = 0;
    virtual Status flushToDevice() = 0;  // data reaches the device before this returns
    virtual Status truncate(std::uint64_t length) = 0;
    virtual Status close() = 0;
};

class IFileService {
public:
    virtual ~IFileService() = default;
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
