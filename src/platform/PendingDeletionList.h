#pragma once
// Files that could not be removed when asked, kept per user so they can be removed at the
// program's next start. Each is identified by path, device, inode, size and modification
// time; a file that no longer matches all of them is a different file and is never removed.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/IFileService.h"

namespace quenvor::platform {

class PendingDeletionList {
public:
    struct Entry {
        std::filesystem::path path;
        std::uint64_t device = 0, inode = 0, size = 0;
        std::int64_t modifiedNs = 0;
    };
    struct Kept {
        std::filesystem::path path;
        std::string reason;  // the system's words for why it still cannot be removed
    };
    struct RetryReport {
        int removed = 0;
        int stillThere = 0;  // matching but still not removable: kept for the next start
        int dropped = 0;     // gone, or replaced by another file: forgotten
        std::vector<Kept> kept;
        // Lines that could not be read: kept as they are, since the list is the only record
        // of a file the user asked to destroy.
        int unreadableLines = 0;
    };
    struct Listing {
        std::vector<Entry> entries;
        std::vector<std::string> unreadableLines;
    };

    explicit PendingDeletionList(std::filesystem::path file) : m_file(std::move(file)) {}

    Status add(const std::filesystem::path& p, const FileStatus& st);
    Result<std::vector<Entry>> entries() const;
    // The entries and, apart, every line that does not read as one.
    Result<Listing> read() const;
    // Removes every listed file that is still the one listed.
    Result<RetryReport> retry(IFileService& files);
    const std::filesystem::path& file() const { return m_file; }

private:
    Status save(const std::vector<Entry>& entries, const std::vector<std::string>& unreadable) const;
    std::filesystem::path m_file;
};

}  // namespace quenvor::platform
