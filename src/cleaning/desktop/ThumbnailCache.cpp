#include "cleaning/desktop/ThumbnailCache.h"

#include <cerrno>

#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::desktop {

using platform::FileType;
namespace fs = std::filesystem;

namespace {

// "fail" holds one folder per thumbnailer; nothing nests deeper.
constexpr int kMaxDepth = 4;

}  // namespace

void ThumbnailCache::clear() {
    for (const fs::path& base : {m_folders.cacheHome() / "thumbnails", m_folders.homeFolder() / ".thumbnails"})
        for (const char* size : {"normal", "large", "x-large", "xx-large", "fail"}) removeFilesBelow(base / size, 0);
}

void ThumbnailCache::removeFilesBelow(const fs::path& dir, int depth) {
    auto listing = m_files.list(dir);
    if (!listing) {
        if (!platform::isGone(listing.error()))
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(dir), listing.error().message);
        return;
    }
    for (const auto& e : *listing) {
        const fs::path p = dir / e.name;
        if (e.type == FileType::Directory) {
            if (depth < kMaxDepth) removeFilesBelow(p, depth + 1);
            continue;
        }
        // A link is removed as a link: what it points to is not the cache's.
        if (auto r = m_files.remove(p); !r && !platform::isGone(r.error()))
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(p), r.error().message);
    }
}

}  // namespace quenvor::cleaning::desktop
