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
        m_sink.setSource("Firefox", p.name);
        work(p);
    }
    for (const auto& [list, why] : profiles.unreadable()) fail(area, platform::utf8Of(list), why);
    for (const auto& [folder, why] : profiles.skipped()) fail(area, platform::utf8Of(folder), why);
}

void cFireFox::removeFile(common::CleanArea area, const fs::path& p) {
    auto st = m_s.files.status(p);
    if (!st && !platform::isGone(st.error())) fail(area, platform::utf8Of(p), st.error().message);
    if (!st || st->type == FileType::NotFound || st->type == FileType::Directory) return;
    removeListed(area, p, 1, st->size);
}

// One entry a listing or a look found: removed when the plan says so, told when it stays.
void cFireFox::removeListed(common::CleanArea area, const fs::path& p, std::uint64_t items, std::uint64_t bytes,
                            const std::function<bool(const fs::path&)>& toldAlready) {
    m_sink.step(area, platform::utf8Of(p), items, bytes, [this, area, p, items, bytes, toldAlready] {
        if (auto r = m_s.files.remove(p); !r) {
            if (!platform::isGone(r.error()) && !(toldAlready && toldAlready(p)))
                fail(area, platform::utf8Of(p), r.error().message);
        } else {
            m_report.removed(area, items, bytes);
        }
    });
}

void cFireFox::cleanStore(common::CleanArea area, const fs::path& db,
                          const std::vector<formats::SqliteCleaner::Statement>& statements,
                          const std::vector<formats::SqliteCleaner::Attachment>& attachments) {
    // A store with nothing to remove is left as it is; one that cannot be counted is tried, so
    // that what stops it is told.
    const auto found = formats::SqliteCleaner::count(db, statements, attachments);
    if (found && *found == 0) return;
    m_sink.step(area, platform::utf8Of(db), found ? *found : 0, 0, [this, area, db, statements, attachments] {
        if (auto s = formats::SqliteCleaner::run(db, statements, attachments); !s)
            fail(area, platform::utf8Of(db), s.error().message);
        else
            m_report.removed(area, *s);
    });
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
    // A folder whose entries the plan takes from the page's listing leaves only the rest of
    // that listing here, unlisted again.
    auto listing = m_sink.takeRest(dir);
    if (!listing) {
        auto listed = m_s.files.list(dir);
        if (!listed) {
            // No such folder is nothing cached there; one that cannot be read still holds its files.
            if (!platform::isGone(listed.error())) fail(area, platform::utf8Of(dir), listed.error().message);
            return;
        }
        listing = std::move(*listed);
    }
    // The listing already tells a folder from the rest: each other entry costs one unlink.
    for (const auto& e : *listing) {
        if (e.type != FileType::Directory) removeListed(area, dir / e.name, 1, 0, toldAlready);
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
        removeListed(area, p, e.type == FileType::Directory ? 0 : 1, 0);
    }
}

void cFireFox::siteData(const FirefoxProfile& p) {
    FirefoxSiteData data(m_s.files, m_keep);
    auto found = data.find(p);
    const std::uint64_t stores = found.indexOrigins.size() + found.localStorageKeys.size() +
                                 found.permissionOrigins.size() + found.permissionHosts.size() +
                                 found.prefGroups.size() + found.certOverrides.size() + found.notifications;
    const auto sites = found.sites();
    // The cookies are counted in their own area; the one step removes them with the rest.
    m_sink.step(common::CleanArea::Cookies, platform::utf8Of(p.folder / "cookies.sqlite"), found.cookies, 0, [] {});
    // Counted before the step takes what was found: arguments are not read in any set order.
    const std::uint64_t items = found.folders.size() + stores, bytes = found.folderBytes;
    m_sink.step(common::CleanArea::SiteData, platform::utf8Of(p.folder / "storage"), items, bytes,
                [this, p, what = std::move(found)] { FirefoxSiteData(m_s.files, m_keep).remove(p, what, m_report); },
                {sites.begin(), sites.end()});
}

void cFireFox::siteFiles(const FirefoxProfile& p, common::CleanArea area) {
    FirefoxSiteFiles traces(m_s.files);
    auto found = traces.find(p, area);
    std::uint64_t bytes = 0;
    for (const auto& f : found.files) bytes += f.second;
    std::vector<std::string> names = found.bounceSites;
    for (const auto& f : found.files) names.push_back(platform::utf8Of(f.first));
    const std::uint64_t items = found.files.size() + found.bounceSites.size();
    m_sink.step(
        area, platform::utf8Of(p.folder), items, bytes,
        [this, p, what = std::move(found)] { FirefoxSiteFiles(m_s.files).remove(p, what, m_report); },
        std::move(names));
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
        cleanStore(common::CleanArea::History, p.folder / "places.sqlite", history,
                   {{"fav", p.folder / "favicons.sqlite"}});
        siteFiles(p, common::CleanArea::History);
    });
}

void cFireFox::ClearFirefoxCache() {
    m_namedLinks.clear();
    // An entry the address list of the cache already named as not removed is not named again by
    // its file: one failure, one line.
    // Asked when a removal fails, once the address list's own step has run.
    const std::function<bool(const fs::path&)> namedByAddress = [this](const fs::path& entry) {
        std::set<std::string> named;
        for (const auto& f : m_report.failures())
            if (f.area == common::CleanArea::Cache) named.insert(f.what);
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
                    removeListed(area, cache2 / e.name, 0, 0);
                }
            }
        }
        if (!linkedAway(area, p.cacheFolder, p.cacheFolder / "thumbnails"))
            removeFilesIn(area, p.cacheFolder / "thumbnails");
        siteFiles(p, area);
    });
}

void cFireFox::ClearFirefoxCookies() {
    forEachIdleProfile(common::CleanArea::Cookies, [&](const FirefoxProfile& p) {
        removeFile(common::CleanArea::Cookies, p.folder / "cookies.txt");
        // Site data goes with the cookies, as Firefox's own "Cookies and site data" does; the
        // kept sites keep both.
        siteData(p);
        siteFiles(p, common::CleanArea::SiteData);
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
        cleanStore(common::CleanArea::FormData, p.folder / "formhistory.sqlite", forms);
    });
}

}  // namespace quenvor::cleaning::firefox
