#pragma once
// The desktop's cache of thumbnails, one small picture per image or document the user has
// seen in a file manager or dialog (the freedesktop layout below the cache folder, and the
// older ~/.thumbnails). Emptying it leaves the folders, so thumbnailers go on writing there.
#include <filesystem>

#include "cleaning/common/CleanReport.h"

namespace quenvor::platform {
class IFileService;
class IKnownFolders;
}  // namespace quenvor::platform

namespace quenvor::cleaning::desktop {

class ThumbnailCache {
public:
    ThumbnailCache(platform::IFileService& files, platform::IKnownFolders& folders, common::CleanReport& report)
        : m_files(files), m_folders(folders), m_report(report) {}

    void clear();

private:
    void removeFilesBelow(const std::filesystem::path& dir, int depth);

    platform::IFileService& m_files;
    platform::IKnownFolders& m_folders;
    common::CleanReport& m_report;
};

}  // namespace quenvor::cleaning::desktop
