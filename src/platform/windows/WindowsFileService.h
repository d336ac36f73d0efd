#pragma once
// Files through handles: every path is opened once, as itself (a reparse point is never
// followed), and renamed, removed or changed through that handle, so no name is trusted twice.
#include "platform/IFileService.h"

namespace quenvor::platform {
class PendingDeletionList;
}

namespace quenvor::platform::windows {

class WindowsFileService : public IFileService {
public:
    // `pending` receives what Windows will not remove at its next start for this user;
    // null: such removals fail.
    explicit WindowsFileService(PendingDeletionList* pending = nullptr) : m_pending(pending) {}

    Result<std::unique_ptr<IDirectory>> openDirectory(const std::filesystem::path& p) override;
    Result<std::unique_ptr<IDirectory>> openDirectoryNoLinks(const std::filesystem::path& p) override;
    Result<FileStatus> status(const std::filesystem::path& p) override;
    Result<std::unique_ptr<IWritableFile>> openInPlace(const std::filesystem::path& p) override;
    // Opened with no sharing at all: a file some program has open is in use and stays.
    Status remove(const std::filesystem::path& p) override;
    // Windows' own list of removals at the next start (MOVEFILE_DELAY_UNTIL_REBOOT), which
    // needs administrator rights; without them, our per-user list.
    Status removeAtNextStart(const std::filesystem::path& p) override;
    Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override;
    Status setWritable(const std::filesystem::path& p) override;
    Status flushDirectory(const std::filesystem::path& dir) override;
    Result<std::vector<DirectoryEntry>> list(const std::filesystem::path& dir) override;
    // A symbolic link's or junction's target as the link holds it (its print name).
    Result<std::string> readLink(const std::filesystem::path& link) override;
    std::string shortForm(const std::filesystem::path& p) override;
    std::vector<std::filesystem::path> fixedDiskRoots() override;

private:
    PendingDeletionList* m_pending;
};

}  // namespace quenvor::platform::windows
