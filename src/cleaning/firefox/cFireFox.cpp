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
void cFireFox::removeListed(common::CleanArea area, const fs::path& p, std::uint64_t items, std::uint64_t bytes) {
    m_sink.step(area, platform::utf8Of(p), items, bytes, [this, area, p, items, bytes] {
        if (auto r = m_s.files.remove(p); !r) {
            if (!platform::isGone(r.error())) fail(area, platform::utf8Of(p), r.error().message);
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

void cFireFox::removeFilesIn(common::CleanArea area, const fs::path& dir) {
    auto listing = m_s.files.list(dir);
    if (!listing) {
        // No such folder is nothing cached there; one that cannot be read still holds its files.
        if (!platform::isGone(listing.error())) fail(area, platform::utf8Of(dir), listing.error().message);
        return;
    }
    // The listing already tells a folder from the rest: each other entry costs one unlink.
    for (const auto& e : *listing) {
        if (e.type != FileType::Directory) removeListed(area, dir / e.name, 1, 0);
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
        cleanStore(common::CleanArea::Cookies, p.folder / "cookies.sqlite",
                   {{"DELETE FROM moz_cookies", {"moz_cookies"}}});
        // Site data goes with the cookies, as Firefox's own "Cookies and site data" does: each
        // site's folder (local storage, IndexedDB, caches of service workers) and its record in
        // the storage index. The browser's own origins under storage/permanent stay.
        removeTreeIn(common::CleanArea::Cookies, p.folder / "storage" / "default");
        const std::vector<formats::SqliteCleaner::Statement> index = {
            {"DELETE FROM origin WHERE repository_id IN (SELECT id FROM repository WHERE name = 'default')",
             {"origin", "repository"}},
        };
        cleanStore(common::CleanArea::Cookies, p.folder / "storage.sqlite", index);
        for (const char* store : {"webappsstore.sqlite", "storage/ls-archive.sqlite"}) {
            cleanStore(common::CleanArea::Cookies, p.folder / store,
                       {{"DELETE FROM webappsstore2", {"webappsstore2"}}});
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
        cleanStore(common::CleanArea::FormData, p.folder / "formhistory.sqlite", forms);
    });
}

}  // namespace quenvor::cleaning::firefox
