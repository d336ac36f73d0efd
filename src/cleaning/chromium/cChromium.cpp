#include "cleaning/chromium/cChromium.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>

#include "cleaning/chromium/ChromiumBookmarks.h"
#include "cleaning/chromium/ChromiumRunning.h"
#include "cleaning/formats/LevelDbSites.h"
#include "cleaning/formats/SqliteCleaner.h"
#include "cleaning/formats/SqliteReader.h"
#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::chromium {

using platform::FileType;
namespace fs = std::filesystem;

namespace {

// True when `inner` is `outer` or lies below it, however either is spelt: a cache folder that
// holds the browser's own folder is never emptied as a whole.
bool holds(const fs::path& outer, const fs::path& inner) {
    std::error_code ec;
    for (fs::path p = inner; !p.empty(); p = p.parent_path()) {
        if (fs::equivalent(outer, p, ec)) return true;
        if (p == p.parent_path()) break;
    }
    const auto o = outer.lexically_normal(), i = inner.lexically_normal();
    return std::mismatch(o.begin(), o.end(), i.begin(), i.end()).first == o.end();
}

// Caches nest a few folders deep; a deeper tree is not one the browser made.
constexpr int kMaxCacheDepth = 16;

const std::vector<std::string> kHistoryTables = {"urls",
                                                 "visits",
                                                 "visit_source",
                                                 "visited_links",
                                                 "keyword_search_terms",
                                                 "segments",
                                                 "segment_usage",
                                                 "downloads",
                                                 "downloads_url_chains",
                                                 "downloads_slices",
                                                 "downloads_reroute_info",
                                                 "content_annotations",
                                                 "context_annotations",
                                                 "clusters",
                                                 "clusters_and_visits",
                                                 "cluster_keywords",
                                                 "cluster_visit_duplicates",
                                                 "journeys",
                                                 "journey_history_entries",
                                                 "journey_continuation_queries"};

const std::vector<std::string> kPredictorTables = {"network_action_predictor",
                                                   "resource_prefetch_predictor_url",
                                                   "resource_prefetch_predictor_url_redirect",
                                                   "resource_prefetch_predictor_host",
                                                   "resource_prefetch_predictor_host_redirect",
                                                   "resource_prefetch_predictor_origin"};

// Addresses, names, e-mail addresses and phone numbers typed into forms; cards, bank accounts
// and search engines live in other tables of the same store and stay.
const std::vector<std::string> kAutofillTables = {"autofill",
                                                  "autofill_profiles",
                                                  "autofill_profile_names",
                                                  "autofill_profile_emails",
                                                  "autofill_profile_phones",
                                                  "autofill_profile_addresses",
                                                  "autofill_profile_birthdates",
                                                  "autofill_profiles_trash",
                                                  "local_addresses",
                                                  "local_addresses_type_tokens",
                                                  "address_type_tokens",
                                                  "contact_info",
                                                  "contact_info_type_tokens",
                                                  "addresses",
                                                  "autocomplete",
                                                  "autofill_ai_attributes",
                                                  "autofill_ai_entities",
                                                  "autofill_ai_entities_metadata"};

// The sites' own storage: databases, file systems, service workers with their caches. Extensions
// keep theirs in other folders ("Local Extension Settings", "Extension State") and in their own
// entries of these (kept, see removeFilesBelow), and "shared_proto_db" is the browser's own.
// Local and session storage are one store each for every site and extension: they are pruned
// site by site (pruneSiteStorage).
constexpr const char* kSiteDataFolders[] = {"IndexedDB", "WebStorage", "File System", "Service Worker", "databases"};

constexpr const char* kSiteFiles[] = {"TransportSecurity",         "Network Persistent State", "Reporting and NEL",
                                      "Reporting and NEL-journal", "Shared Storage",           "Shared Storage-journal",
                                      "Shared Storage-wal"};

}  // namespace

// A bookmark keeps its page's icon; every other page's icon goes.
void cChromium::cleanIcons(const ChromiumProfile& p) {
    const fs::path favicons = p.folder / "Favicons";
    const auto kept = ChromiumBookmarks::urls(p.folder / "Bookmarks");
    if (!kept) {
        // Without the bookmarks every icon might be one of theirs.
        fail(common::CleanArea::History, platform::utf8Of(favicons),
             "the bookmarks could not be read, so page icons were kept");
        return;
    }
    // The kept addresses go in a table of the connection's own, filled one bound row at a time,
    // however many there are and whatever they hold.
    std::vector<std::vector<std::string>> rows;
    rows.reserve(kept->size());
    for (const auto& u : *kept) rows.push_back({u});
    const std::vector<std::string> needs = {"icon_mapping", "favicon_bitmaps", "favicons"};
    cleanStore(common::CleanArea::History, favicons, {},
               {{"CREATE TEMP TABLE kept (url TEXT PRIMARY KEY)", needs},
                {"INSERT OR IGNORE INTO temp.kept VALUES (?)", needs, std::move(rows)},
                {"DELETE FROM icon_mapping WHERE page_url NOT IN (SELECT url FROM temp.kept)", needs},
                {"DELETE FROM favicon_bitmaps WHERE icon_id NOT IN (SELECT icon_id FROM icon_mapping)", needs},
                {"DELETE FROM favicons WHERE id NOT IN (SELECT icon_id FROM icon_mapping)", needs}});
}

void cChromium::fail(common::CleanArea area, const std::string& what, const std::string& why) {
    m_report.fail(area, what, why);
}

void cChromium::forEachIdleProfile(common::CleanArea area, const std::function<void(const ChromiumProfile&)>& work) {
    std::map<fs::path, bool> running;
    for (const auto& p : ChromiumProfiles(m_s).find()) {
        auto it = running.find(p.root);
        if (it == running.end())
            it = running.emplace(p.root, ChromiumRunning::running(p.root, m_s.files, m_processes)).first;
        if (it->second) {
            m_report.fail(area, p.name, p.browser + " is running", true, p.browser);
            continue;
        }
        m_sink.setSource(p.browser, p.name);
        work(p);
    }
}

void cChromium::removeFile(common::CleanArea area, const fs::path& p) {
    auto st = m_s.files.status(p);
    if (!st && !platform::isGone(st.error())) fail(area, platform::utf8Of(p), st.error().message);
    if (!st || st->type == FileType::NotFound || st->type == FileType::Directory) return;
    const auto size = st->type == FileType::Regular ? st->size : 0;
    m_sink.step(area, platform::utf8Of(p), 1, size, [this, area, p, size] {
        if (auto r = m_s.files.remove(p); !r) {
            if (!platform::isGone(r.error())) fail(area, platform::utf8Of(p), r.error().message);
        } else {
            m_report.removed(area, 1, size);
        }
    });
}

void cChromium::removeFilesBelow(common::CleanArea area, const fs::path& dir, Folders folders, int depth) {
    if (depth > kMaxCacheDepth) {
        fail(area, platform::utf8Of(dir), "nested too deep");
        return;
    }
    if (depth == 0 && m_keptPaths.contains(dir)) return;
    if (m_cacheFoldersSeen && !m_cacheFoldersSeen->insert(dir.lexically_normal()).second) return;
    if (depth == 0) {
        // A folder linked elsewhere keeps its files where the link leads, which is not followed:
        // that is said rather than passed over as clean.
        auto st = m_s.files.status(dir);
        if (st && st->type == FileType::Symlink) {
            fail(area, platform::utf8Of(dir), "a link to somewhere else, not followed");
            return;
        }
    }
    // A folder whose entries the plan takes from the page's listing leaves only the rest of
    // that listing here, unlisted again.
    auto listing = m_sink.takeRest(dir);
    if (!listing) {
        auto listed = m_s.files.list(dir);
        if (!listed) {
            if (!platform::isGone(listed.error())) fail(area, platform::utf8Of(dir), listed.error().message);
            return;
        }
        listing = std::move(*listed);
    }
    // Links are removed as links, never followed.
    for (const auto& e : *listing) {
        const fs::path p = dir / e.name;
        // The sites' storage folders hold the extensions' own beside them, named after the
        // extension ("chrome-extension_<id>_0.indexeddb.leveldb"): that is not a site's, and the
        // browser keeps it too when it clears site data.
        if (folders == Folders::Remove && depth == 0 && e.name.rfind("chrome-extension_", 0) == 0) continue;
        if (folders == Folders::Remove && m_keptPaths.contains(p)) continue;
        if (e.type != FileType::Directory) {
            removeFile(area, p);
            continue;
        }
        removeFilesBelow(area, p, folders, depth + 1);
        // A folder something was left in has had that reported already.
        if (folders == Folders::Remove)
            m_sink.step(area, platform::utf8Of(p), 0, 0, [this, area, p] {
                if (auto r = m_s.files.remove(p);
                    !r && !platform::isGone(r.error()) && !platform::isNotEmpty(r.error()))
                    fail(area, platform::utf8Of(p), r.error().message);
            });
    }
}

void cChromium::cleanStore(common::CleanArea area, const fs::path& db, const std::vector<std::string>& tables,
                           std::vector<formats::SqliteCleaner::Statement> extra) {
    std::vector<formats::SqliteCleaner::Statement> statements;
    statements.reserve(tables.size() + extra.size());
    for (const auto& t : tables) statements.push_back({"DELETE FROM " + t, {t}});
    for (auto& s : extra) statements.push_back(std::move(s));
    // A store with nothing to remove is left as it is; one that cannot be counted is tried, so
    // that what stops it is told.
    const auto found = formats::SqliteCleaner::count(db, statements);
    if (found && *found == 0) return;
    m_sink.step(area, platform::utf8Of(db), found ? *found : 0, 0, [this, area, db, statements] {
        auto removed = formats::SqliteCleaner::run(db, statements);
        if (!removed) {
            fail(area, platform::utf8Of(db), removed.error().message);
            return;
        }
        m_report.removed(area, *removed);
        auto journal = db;
        journal += "-journal";
        auto st = m_s.files.status(journal);
        if (st && st->type != FileType::NotFound && st->type != FileType::Directory) {
            if (auto r = m_s.files.remove(journal); !r && !platform::isGone(r.error()))
                fail(area, platform::utf8Of(journal), r.error().message);
        }
    });
}

void cChromium::cleanRows(common::CleanArea area, const KeptSiteData::Rows& rows, const std::string& table,
                          const std::string& column) {
    if (rows.hosts.empty()) return;
    std::vector<std::vector<std::string>> values;
    values.reserve(rows.hosts.size());
    for (const auto& h : rows.hosts) values.push_back({h});
    cleanStore(area, rows.store, {},
               {{"CREATE TEMP TABLE gone (host TEXT PRIMARY KEY)", {}},
                {"INSERT OR IGNORE INTO temp.gone VALUES (?)", {}, std::move(values)},
                {"DELETE FROM " + table + " WHERE " + column + " IN (SELECT host FROM temp.gone)", {table}}});
}

void cChromium::cleanPreferences(common::CleanArea area, const fs::path& file, PreferencesSites::Kind kind) {
    auto found = PreferencesSites::find(m_s.files, file, kind, m_keep);
    if (!found) {
        fail(area, platform::utf8Of(file), found.error().message);
        return;
    }
    for (const auto& entry : found->keptBy) m_report.keptSite(entry);
    if (found->entries.empty()) return;
    auto names = found->names();
    // Counted before the step takes what was found: arguments are not read in any set order.
    const std::uint64_t items = found->entries.size(), bytes = found->bytes;
    m_sink.step(
        area, platform::utf8Of(file), items, bytes,
        [this, area, file, what = std::move(*found)] {
            if (auto s = PreferencesSites::remove(m_s.files, what); !s) {
                fail(area, platform::utf8Of(file), s.error().message);
                return;
            }
            m_report.removed(area, what.entries.size(), what.bytes);
        },
        std::move(names));
}

// Removes the entries of every site the keep list does not keep from one of the stores all sites
// and extensions share; extensions' entries stay.
void cChromium::pruneSiteStorage(const fs::path& folder, formats::LevelDbSites::Kind kind) {
    auto found = formats::LevelDbSites::find(folder, kind, [&](std::string_view o) { return !m_keep.keeps(o); });
    if (!found) {
        fail(common::CleanArea::Cookies, platform::utf8Of(folder), found.error().message);
        return;
    }
    for (const auto& o : found->keptOrigins)
        if (const auto* entry = m_keep.entryKeeping(o)) m_report.keptSite(*entry);
    if (found->empty()) return;
    std::vector<std::string> names(found->origins.begin(), found->origins.end());
    const std::uint64_t items = found->items, bytes = found->bytes;
    m_sink.step(
        common::CleanArea::SiteData, platform::utf8Of(folder), items, bytes,
        [this, folder, what = std::move(*found)] {
            if (auto s = formats::LevelDbSites::remove(what); !s)
                fail(common::CleanArea::Cookies, platform::utf8Of(folder), s.error().message);
            else
                m_report.removed(common::CleanArea::SiteData, what.items, what.bytes);
        },
        std::move(names));
}

void cChromium::ClearHistory() {
    std::set<fs::path> roots;
    forEachIdleProfile(common::CleanArea::History, [&](const ChromiumProfile& p) {
        const auto area = common::CleanArea::History;
        cleanStore(area, p.folder / "History", kHistoryTables);
        cleanStore(area, p.folder / "Archived History", kHistoryTables);  // older builds
        cleanStore(area, p.folder / "Top Sites", {"top_sites", "thumbnails"});
        cleanStore(area, p.folder / "Shortcuts", {"omni_box_shortcuts"});
        cleanStore(area, p.folder / "Network Action Predictor", kPredictorTables);

        cleanIcons(p);
        removeFile(area, p.folder / "Visited Links");
        removeFilesBelow(area, p.folder / "Sessions");
        removeFilesBelow(area, p.folder / "Sessions_Encrypted");
        for (const char* f : {"Current Session", "Last Session", "Current Tabs", "Last Tabs"})
            removeFile(area, p.folder / f);
        // Which sites bounced the user on, and which the sites' topics were taken from.
        cleanStore(area, p.folder / "DIPS", {"bounces", "popups"});
        cleanStore(area, p.folder / "BrowsingTopicsSiteData", {"browsing_topics_api_usages"});
        cleanPreferences(area, p.folder / "Preferences", PreferencesSites::Kind::Visits);
        // The usage statistics the browser keeps for all its profiles hold every address with
        // its title and times.
        if (roots.insert(p.root).second)
            cleanStore(area, p.root / "segmentation_platform" / "ukm_db", {"metrics", "urls"});
    });
}

void cChromium::ClearCookies() {
    forEachIdleProfile(common::CleanArea::Cookies, [&](const ChromiumProfile& p) {
        std::optional<KeptSiteData::Found> kept;
        if (m_keep.empty()) {
            cleanStore(common::CleanArea::Cookies, p.folder / "Network" / "Cookies", {"cookies"});
            cleanStore(common::CleanArea::Cookies, p.folder / "Cookies", {"cookies"});
        } else {
            kept = KeptSiteData::find(m_s.files, p.folder, m_keep);
            for (const auto& [what, why] : kept->failures) fail(common::CleanArea::Cookies, what, why);
            for (const auto& entry : kept->keptBy) m_report.keptSite(entry);
            for (const auto& c : kept->cookies) cleanRows(common::CleanArea::Cookies, c, "cookies", "host_key");
            m_keptPaths = kept->kept;
        }
        // What the user's extensions set is theirs too.
        cleanStore(common::CleanArea::Cookies, p.folder / "Extension Cookies", {"cookies"});
        // Sites keep more than cookies, and the browser clears it all together.
        for (const char* f : kSiteDataFolders)
            removeFilesBelow(common::CleanArea::Cookies, p.folder / f, Folders::Remove);
        m_keptPaths.clear();
        if (kept) cleanRows(common::CleanArea::Cookies, kept->buckets, "buckets", "host");
        // The permissions, cookie choices and zoom levels the user gave sites.
        cleanPreferences(common::CleanArea::Cookies, p.folder / "Preferences", PreferencesSites::Kind::Settings);
        pruneSiteStorage(p.folder / "Local Storage" / "leveldb", formats::LevelDbSites::Kind::LocalStorage);
        pruneSiteStorage(p.folder / "Session Storage", formats::LevelDbSites::Kind::SessionStorage);
        // Files of the network layer that each name the sites they remember: the secure-transport
        // list, the servers' announced protocols, the error-reporting endpoints, shared storage.
        // The browser writes fresh ones on its next start.
        for (const char* f : kSiteFiles) {
            removeFile(common::CleanArea::Cookies, p.folder / f);
            removeFile(common::CleanArea::Cookies, p.folder / "Network" / f);
        }
    });
}

void cChromium::ClearFormData() {
    forEachIdleProfile(common::CleanArea::FormData, [&](const ChromiumProfile& p) {
        cleanStore(common::CleanArea::FormData, p.folder / "Web Data", kAutofillTables);
    });
}

void cChromium::ClearCache() {
    // Two folders of one browser (its own and $CHROME_CONFIG_HOME's) share a cache folder: one
    // that a running browser uses stays whole.
    std::set<fs::path> busyCaches;
    for (const auto& p : ChromiumProfiles(m_s).find())
        if (ChromiumRunning::running(p.root, m_s.files, m_processes)) busyCaches.insert(p.cacheRoot);
    std::set<fs::path> roots, seen;
    m_cacheFoldersSeen = &seen;
    struct Done {
        std::set<fs::path>*& seen;
        ~Done() { seen = nullptr; }
    } done{m_cacheFoldersSeen};
    forEachIdleProfile(common::CleanArea::Cache, [&](const ChromiumProfile& p) {
        const bool shared = busyCaches.contains(p.cacheRoot);
        for (const char* f : {"Cache", "Code Cache", "GPUCache", "DawnWebGPUCache", "DawnGraphiteCache"}) {
            removeFilesBelow(common::CleanArea::Cache, p.folder / f);
            if (!shared && p.cacheFolder != p.folder) removeFilesBelow(common::CleanArea::Cache, p.cacheFolder / f);
        }
        if (!roots.insert(p.root).second) return;
        for (const char* f : {"GrShaderCache", "ShaderCache", "GraphiteDawnCache", "GPUPersistentCache"})
            removeFilesBelow(common::CleanArea::Cache, p.root / f);
        // Everything below the cache root is cache, whichever profile it once belonged to.
        if (shared)
            fail(common::CleanArea::Cache, platform::utf8Of(p.cacheRoot), p.browser + " is running");
        else if (!holds(p.cacheRoot, p.root))
            removeFilesBelow(common::CleanArea::Cache, p.cacheRoot);
    });
}

}  // namespace quenvor::cleaning::chromium
