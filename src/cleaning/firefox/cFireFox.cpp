#include "cleaning/firefox/cFireFox.h"

#include <cerrno>
#include <set>

#include "cleaning/firefox/CacheEntryKey.h"
#include "cleaning/firefox/FirefoxSiteData.h"
#include "cleaning/firefox/FirefoxSiteFiles.h"
#include "cleaning/formats/SqliteCleaner.h"
#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::firefox {

using platform::FileType;
namespace fs = std::filesystem;

void cFireFox::fail(common::CleanArea area, const std::string& what, const std::string& why, bool running) {
    m_report.fail(area, what, why, running);
}

void cFireFox::forEachIdleProfile(common::CleanArea area, const std::function<void(const FirefoxProfile&)>& work) {
    FirefoxProfiles profiles(m_s);
    for (const auto& p : profiles.find()) {
        if (FirefoxProfiles::running(p, m_processes)) {
            fail(area, p.name, "Firefox is running", true);
            continue;
        }
        work(p);
    }
    for (const auto& [list, why] : profiles.unreadable()) fail(area, platform::utf8Of(list), why);
    for (const auto& [folder, why] : profiles.skipped()) fail(area, platform::utf8Of(folder), why);
}

void cFireFox::removeFile(common::CleanArea area, const fs::path& p) {
    auto st = m_s.files.status(p);
    if (!st && !platform::isGone(st.error())) fail(area, platform::utf8Of(p), st.error().message);
    if (!st || st->type == FileType::NotFound || st->type == FileType::Directory) return;
    if (auto r = m_s.files.remove(p); !r) {
        if (!platform::isGone(r.error())) fail(area, platform::utf8Of(p), r.error().message);
    } else {
        m_report.removed(area, 1, st->size);
    }
}

// A folder of the cache linked elsewhere (the folder itself or one above it up to `base`) keeps
// its files where the link leads, which is not followed: the link is named, once, rather than
// passed over as clean.
bool cFireFox::linkedAway(common::CleanArea area, const fs::path& base, const fs::path& dir) {
    fs::path at = base;
    for (const auto& part : dir.lexically_relative(base)) {
        at /= part;
        auto st = m_s.files.status(at);
        if (!st || st->type != FileType::Symlink) continue;
        if (m_namedLinks.insert(at).second) fail(area, platform::utf8Of(at), "a link to somewhere else, not followed");
        return true;
    }
    return false;
}

void cFireFox::removeFilesIn(common::CleanArea area, const fs::path& dir,
                             const std::function<bool(const fs::path&)>& toldAlready) {
    auto listing = m_s.files.list(dir);
    if (!listing) {
        // No such folder is nothing cached there; one that cannot be read still holds its files.
        if (!platform::isGone(listing.error())) fail(area, platform::utf8Of(dir), listing.error().message);
        return;
    }
    // The listing already tells a folder from the rest: each other entry costs one unlink.
    for (const auto& e : *listing) {
        if (e.type == FileType::Directory) continue;
        auto r = m_s.files.remove(dir / e.name);
        if (r) m_report.removed(area, 1);
        if (!r && !platform::isGone(r.error()) && !(toldAlready && toldAlready(dir / e.name)))
            fail(area, platform::utf8Of(dir / e.name), r.error().message);
    }
}

// Everything below `dir`, links removed as links and never followed; `dir` itself stays.
void cFireFox::removeTreeIn(common::CleanArea area, const fs::path& dir) {
    auto listing = m_s.files.list(dir);
    if (!listing) {
        if (!platform::isGone(listing.error())) fail(area, platform::utf8Of(dir), listing.error().message);
        return;
    }
    for (const auto& e : *listing) {
        const auto p = dir / e.name;
        if (e.type == FileType::Directory) removeTreeIn(area, p);
        auto r = m_s.files.remove(p);
        if (r && e.type != FileType::Directory) m_report.removed(area, 1);
        if (!r && !platform::isGone(r.error())) fail(area, platform::utf8Of(p), r.error().message);
    }
}

void cFireFox::ClearFirefoxHistory() {
    forEachIdleProfile(common::CleanArea::History, [&](const FirefoxProfile& p) {
        removeFile(common::CleanArea::History, p.folder / "history.dat");
        // The saved session holds the open tabs with their back and forward pages, typed
        // searches and session cookies: history in every sense a user means.
        removeFile(common::CleanArea::History, p.folder / "sessionstore.jsonlz4");
        const auto backups = p.folder / "sessionstore-backups";
        for (const char* f : {"recovery.jsonlz4", "recovery.baklz4", "previous.jsonlz4"})
            removeFile(common::CleanArea::History, backups / f);
        if (auto listing = m_s.files.list(backups)) {
            for (const auto& e : *listing)
                if (e.name.rfind("upgrade.jsonlz4-", 0) == 0) removeFile(common::CleanArea::History, backups / e.name);
        } else if (!platform::isGone(listing.error())) {
            fail(common::CleanArea::History, platform::utf8Of(backups), listing.error().message);
        }
        const std::vector<formats::SqliteCleaner::Statement> history = {
            {"DELETE FROM moz_historyvisits", {"moz_historyvisits"}},
            {"DELETE FROM moz_historyvisits_extra", {"moz_historyvisits_extra"}},
            {"DELETE FROM moz_inputhistory", {"moz_inputhistory"}},
            // Every page no bookmark points to goes; bookmarked pages stay, without their visits.
            {"DELETE FROM moz_places WHERE id NOT IN (SELECT fk FROM moz_bookmarks WHERE fk IS NOT NULL)",
             {"moz_places", "moz_bookmarks"}},
            {"UPDATE moz_places SET visit_count = 0, last_visit_date = NULL", {"moz_places"}},
            {"DELETE FROM moz_places_extra WHERE place_id NOT IN (SELECT id FROM moz_places)",
             {"moz_places_extra", "moz_places"}},
            {"DELETE FROM moz_annos WHERE place_id NOT IN (SELECT id FROM moz_places)", {"moz_annos", "moz_places"}},
            {"DELETE FROM moz_places_metadata", {"moz_places_metadata"}},
            {"DELETE FROM moz_places_metadata_search_queries", {"moz_places_metadata_search_queries"}},
            {"DELETE FROM moz_origins WHERE id NOT IN (SELECT origin_id FROM moz_places)",
             {"moz_origins", "moz_places"}},
            {"DELETE FROM fav.moz_pages_w_icons WHERE page_url NOT IN (SELECT url FROM main.moz_places)",
             {"fav.moz_pages_w_icons", "moz_places"}},
            {"DELETE FROM fav.moz_icons_to_pages WHERE page_id NOT IN (SELECT id FROM fav.moz_pages_w_icons)",
             {"fav.moz_icons_to_pages", "fav.moz_pages_w_icons"}},
            {"DELETE FROM fav.moz_icons WHERE id NOT IN (SELECT icon_id FROM fav.moz_icons_to_pages)",
             {"fav.moz_icons", "fav.moz_icons_to_pages"}},
        };
        if (auto s = formats::SqliteCleaner::run(p.folder / "places.sqlite", history,
                                                 {{"fav", p.folder / "favicons.sqlite"}});
            !s)
            fail(common::CleanArea::History, platform::utf8Of(p.folder / "places.sqlite"), s.error().message);
        FirefoxSiteFiles traces(m_s.files);
        traces.remove(p, traces.find(p, common::CleanArea::History), m_report);
    });
}

void cFireFox::ClearFirefoxCache() {
    m_namedLinks.clear();
    // An entry the address list of the cache already named as not removed is not named again by
    // its file: one failure, one line.
    std::set<std::string> named;
    for (const auto& f : m_report.failures())
        if (f.area == common::CleanArea::Cache) named.insert(f.what);
    auto namedByAddress = [&](const fs::path& entry) {
        if (named.empty()) return false;
        const auto key = CacheEntryKey::read(entry);
        return key && named.contains(CacheEntryKey::address(*key));
    };
    forEachIdleProfile(common::CleanArea::Cache, [&](const FirefoxProfile& p) {
        const auto area = common::CleanArea::Cache;
        if (!linkedAway(area, p.cacheFolder, p.cacheFolder / "Cache")) removeFilesIn(area, p.cacheFolder / "Cache");
        const fs::path cache2 = p.cacheFolder / "cache2";
        if (!linkedAway(area, p.cacheFolder, cache2 / "entries"))
            removeFilesIn(area, cache2 / "entries", namedByAddress);
        if (!linkedAway(area, p.cacheFolder, cache2 / "doomed")) removeFilesIn(area, cache2 / "doomed");
        if (!linkedAway(area, p.cacheFolder, cache2)) {
            // The index (hashes of every address cached), the per-site eviction records and the
            // folders Firefox moved old entries to before deleting them.
            if (auto listing = m_s.files.list(cache2)) {
                for (const auto& e : *listing) {
                    if (e.type == FileType::Regular) removeFile(area, cache2 / e.name);
                    if (e.type != FileType::Directory || e.name.rfind("trash", 0) != 0) continue;
                    removeTreeIn(area, cache2 / e.name);
                    if (auto r = m_s.files.remove(cache2 / e.name); !r && !platform::isGone(r.error()))
                        fail(area, platform::utf8Of(cache2 / e.name), r.error().message);
                }
            }
        }
        if (!linkedAway(area, p.cacheFolder, p.cacheFolder / "thumbnails"))
            removeFilesIn(area, p.cacheFolder / "thumbnails");
        FirefoxSiteFiles traces(m_s.files);
        traces.remove(p, traces.find(p, area), m_report);
    });
}

void cFireFox::ClearFirefoxCookies() {
    forEachIdleProfile(common::CleanArea::Cookies, [&](const FirefoxProfile& p) {
        removeFile(common::CleanArea::Cookies, p.folder / "cookies.txt");
        // Site data goes with the cookies, as Firefox's own "Cookies and site data" does; the
        // kept sites keep both.
        FirefoxSiteData data(m_s.files, m_keep);
        data.remove(p, data.find(p), m_report);
        FirefoxSiteFiles traces(m_s.files);
        traces.remove(p, traces.find(p, common::CleanArea::SiteData), m_report);
    });
}

void cFireFox::ClearFirefoxFormHistory() {
    forEachIdleProfile(common::CleanArea::FormData, [&](const FirefoxProfile& p) {
        removeFile(common::CleanArea::FormData, p.folder / "formhistory.dat");
        const std::vector<formats::SqliteCleaner::Statement> forms = {
            {"DELETE FROM moz_history_to_sources", {"moz_history_to_sources"}},
            {"DELETE FROM moz_sources", {"moz_sources"}},
            {"DELETE FROM moz_formhistory", {"moz_formhistory"}},
        };
        if (auto s = formats::SqliteCleaner::run(p.folder / "formhistory.sqlite", forms); !s)
            fail(common::CleanArea::FormData, platform::utf8Of(p.folder / "formhistory.sqlite"), s.error().message);
    });
}

}  // namespace quenvor::cleaning::firefox
