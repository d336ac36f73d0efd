#pragma once
// Files that could not be removed when asked, kept per user so they can be removed at the
// program's next start. Each is identified by path, device, inode, size and modification
// time; a file that no longer matches all of them is a different file and is never removed.
#include <filesystem>
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
    struct RetryReport {
        int removed = 0;
        int stillThere = 0;  // matching but still not removable: kept for the next start
        int dropped = 0;     // gone, or replaced by another file: forgotten
    };

    explicit PendingDeletionList(std::filesystem::path file) : m_file(std::move(file)) {}

    Status add(const std::filesystem::path& p, const FileStatus& st);
    Result<std::vector<Entry>> entries() const;
    // Removes every listed file that is still the one listed.
    Result<RetryReport> retry(IFileService& files);
    const std::filesystem::path& file() const { return m_file; }

private:
    Status save(const std::vector<Entry>& entries) const;
    std::filesystem::path m_file;
};

}  // namespace quenvor::platform
