#pragma once
#include <functional>

#include "platform/IFileService.h"

namespace quenvor::platform {

class PendingDeletionList;

// POSIX file operations that never follow a symbolic link of the path they are given.
class LinuxFileService : public IFileService {
public:
    // `pending` receives what cannot be removed now; null: such removals fail.
    explicit LinuxFileService(PendingDeletionList* pending = nullptr) : m_pending(pending) {}

    Result<std::unique_ptr<IDirectory>> openDirectory(const std::filesystem::path& p) override;
    Result<std::unique_ptr<IDirectory>> openDirectoryNoLinks(const std::filesystem::path& p) override;
    Result<FileStatus> status(const std::filesystem::path& p) override;
    Result<std::unique_ptr<IWritableFile>> openInPlace(const std::filesystem::path& p) override;
    Status remove(const std::filesystem::path& p) override;
    Status removeAtNextStart(const std::filesystem::path& p) override;
    Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    Status setWritable(const std::filesystem::path& p) override;
    Status flushDirectory(const std::filesystem::path& dir) override;
    Result<std::vector<DirectoryEntry>> list(const std::filesystem::path& dir) override;
    Result<std::string> readLink(const std::filesystem::path& link) override;
    std::string shortForm(const std::filesystem::path& p) override;
    std::vector<std::filesystem::path> fixedDiskRoots() override;

    // The local-disk mount points listed in a mounts table (the format of /proc/self/mounts).
    static std::vector<std::filesystem::path> parseMounts(const std::string& table);

private:
    PendingDeletionList* m_pending;
};

}  // namespace quenvor::platform
