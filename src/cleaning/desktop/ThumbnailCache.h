#pragma once
// The desktop's cache of thumbnails, one small picture per image or document the user has
// seen in a file manager or dialog (the freedesktop layout below the cache folder, and the
// older ~/.thumbnails). Emptying it leaves the folders, so thumbnailers go on writing there.
#include <filesystem>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "platform/IFileService.h"

namespace quenvor::platform {
class IKnownFolders;
}  // namespace quenvor::platform

namespace quenvor::cleaning::desktop {

class ThumbnailCache {
public:
    struct File {
        std::filesystem::path path;
        platform::FileStatus was;  // as found: links are found as links, never followed
    };

    ThumbnailCache(platform::IFileService& files, platform::IKnownFolders& folders, common::CleanReport& report)
        : m_files(files), m_folders(folders), m_report(report) {}

    // Every file of the cache, found without changing anything; a folder that cannot be read
    // is told to the report.
    std::vector<File> find();

private:
    void findBelow(const std::filesystem::path& dir, int depth, std::vector<File>& into);

    platform::IFileService& m_files;
    platform::IKnownFolders& m_folders;
    common::CleanReport& m_report;
};

}  // namespace quenvor::cleaning::desktop
