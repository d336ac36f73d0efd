#include "cleaning/firefox/cFireFox.h"

#include <cerrno>

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

void cFireFox::removeFilesIn(common::CleanArea area, const fs::path& dir) {
    auto listing = m_s.files.list(dir);
    if (!listing) {
        // No such folder is nothing cached there; one that cannot be read still holds its files.
        if (!platform::isGone(listing.error())) fail(area, platform::utf8Of(dir), listing.error().message);
        return;
    }
    // The listing already tells a folder from the rest: each other entry costs one unlink.
    for (const auto& e : *listing) {
        if (e.type == FileType::Directory) continue;
        if (auto r = m_s.files.remove(dir / e.name); !r) {
            if (!platform::isGone(r.error())) fail(area, platform::utf8Of(dir / e.name), r.error().message);
        } else {
            m_report.removed(area, 1);
        }
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
        if (auto r = m_s.files.remove(p); !r) {
            if (!platform::isGone(r.error())) fail(area, platform::utf8Of(p), r.error().message);
        } else if (e.type != FileType::Directory) {
            m_report.removed(area, 1);
        }
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
        else
            m_report.removed(common::CleanArea::History, *s);
    });
}

void cFireFox::ClearFirefoxCache() {
    forEachIdleProfile(common::CleanArea::Cache, [&](const FirefoxProfile& p) {
        removeFilesIn(common::CleanArea::Cache, p.cacheFolder / "Cache");
        removeFilesIn(common::CleanArea::Cache, p.cacheFolder / "cache2" / "entries");
        removeFilesIn(common::CleanArea::Cache, p.cacheFolder / "cache2" / "doomed");
        removeFilesIn(common::CleanArea::Cache, p.cacheFolder / "thumbnails");
    });
}

void cFireFox::ClearFirefoxCookies() {
    forEachIdleProfile(common::CleanArea::Cookies, [&](const FirefoxProfile& p) {
        removeFile(common::CleanArea::Cookies, p.folder / "cookies.txt");
        if (auto s = formats::SqliteCleaner::run(p.folder / "cookies.sqlite",
                                                 {{"DELETE FROM moz_cookies", {"moz_cookies"}}});
            !s)
            fail(common::CleanArea::Cookies, platform::utf8Of(p.folder / "cookies.sqlite"), s.error().message);
        else
            m_report.removed(common::CleanArea::Cookies, *s);
        // Site data goes with the cookies, as Firefox's own "Cookies and site data" does: each
        // site's folder (local storage, IndexedDB, caches of service workers) and its record in
        // the storage index. The browser's own origins under storage/permanent stay.
        removeTreeIn(common::CleanArea::Cookies, p.folder / "storage" / "default");
        const std::vector<formats::SqliteCleaner::Statement> index = {
            {"DELETE FROM origin WHERE repository_id IN (SELECT id FROM repository WHERE name = 'default')",
             {"origin", "repository"}},
        };
        if (auto s = formats::SqliteCleaner::run(p.folder / "storage.sqlite", index); !s)
            fail(common::CleanArea::Cookies, platform::utf8Of(p.folder / "storage.sqlite"), s.error().message);
        else
            m_report.removed(common::CleanArea::Cookies, *s);
        for (const char* store : {"webappsstore.sqlite", "storage/ls-archive.sqlite"}) {
            if (auto s =
                    formats::SqliteCleaner::run(p.folder / store, {{"DELETE FROM webappsstore2", {"webappsstore2"}}});
                !s)
                fail(common::CleanArea::Cookies, platform::utf8Of(p.folder / store), s.error().message);
            else
                m_report.removed(common::CleanArea::Cookies, *s);
        }
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
        else
            m_report.removed(common::CleanArea::FormData, *s);
    });
}

}  // namespace quenvor::cleaning::firefox
