#include "cleaning/desktop/ThumbnailCache.h"

#include "platform/ErrorKinds.h"
#include "platform/IKnownFolders.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::desktop {

using platform::FileType;
namespace fs = std::filesystem;

namespace {

// "fail" holds one folder per thumbnailer; nothing nests deeper.
constexpr int kMaxDepth = 4;

}  // namespace

std::vector<ThumbnailCache::File> ThumbnailCache::find() {
    std::vector<File> found;
    for (const fs::path& base : {m_folders.cacheHome() / "thumbnails", m_folders.homeFolder() / ".thumbnails"})
        for (const char* size : {"normal", "large", "x-large", "xx-large", "fail"}) findBelow(base / size, 0, found);
    return found;
}

void ThumbnailCache::findBelow(const fs::path& dir, int depth, std::vector<File>& into) {
    auto listing = m_files.list(dir);
    if (!listing) {
        if (!platform::isGone(listing.error()))
            m_report.fail(common::CleanArea::Thumbnails, platform::utf8Of(dir), listing.error().message);
        return;
    }
    for (const auto& e : *listing) {
        const fs::path p = dir / e.name;
        if (e.type == FileType::Directory) {
            if (depth < kMaxDepth) findBelow(p, depth + 1, into);
            continue;
        }
        auto st = m_files.status(p);
        if (!st) {
            if (!platform::isGone(st.error()))
                m_report.fail(common::CleanArea::Thumbnails, platform::utf8Of(p), st.error().message);
            continue;
        }
        if (st->type != FileType::NotFound && st->type != FileType::Directory) into.push_back({p, *st});
    }
}

}  // namespace quenvor::cleaning::desktop
