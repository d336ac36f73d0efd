#include "cleaning/common/BrowserUrlCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "cleaning/common/PlanSink.h"
#include "cleaning/formats/SqliteCleaner.h"
#include "platform/ErrorKinds.h"
#include "platform/LinkStatus.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::common {

namespace {

constexpr std::int64_t kClockTickNs = 100'000'000;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void BrowserUrlCache::Listing::add(std::string address, std::initializer_list<std::uint32_t> fileNames,
                                   std::uint64_t bytes, std::uint64_t inode) {
    entries.push_back({std::move(address), static_cast<std::uint32_t>(files.size()),
                       static_cast<std::uint32_t>(fileNames.size()), bytes, inode});
    files.insert(files.end(), fileNames.begin(), fileNames.end());
}

BrowserUrlCache::BrowserUrlCache(platform::IFileService& files, std::string userName)
    : m_files(files), m_user(std::move(userName)) {}

// The entries of one cache folder, read once and shared by both lists of the page and the run,
// as long as the folder's time, size and inode stay as they were: a browser adds or removes an
// entry only by adding or removing its files. A time is only as fine as the clock's tick, so a
// listing read within a tick of its folder's last change is read again rather than trusted.
// The folder is listed through a handle held with the listing (a link in its place is not
// opened), so the run removes the names listed from the folder that was listed.
std::shared_ptr<BrowserUrlCache::Listing> BrowserUrlCache::folderEntries(const std::filesystem::path& folder,
                                                                         ListingReader read) {
    std::array<std::int64_t, 3> now{-1, -1, -1};
    if (auto st = m_files.status(folder))
        now = {st->modifiedNs, static_cast<std::int64_t>(st->size), static_cast<std::int64_t>(st->inode)};
    if (auto it = m_listings.find(folder);
        it != m_listings.end() && it->second.stamp == now && now[0] < it->second.readAt - kClockTickNs)
        return it->second.listing;
    const std::int64_t readAt = nowNs();
    auto listing = std::make_shared<Listing>();
    listing->folder = folder;
    if (auto dir = m_files.openDirectory(folder)) {
        if (auto names = (*dir)->list()) {
            listing->names = std::move(*names);
            std::sort(listing->names.begin(), listing->names.end(),
                      [](const auto& a, const auto& b) { return a.name < b.name; });
            listing->dir = std::move(*dir);
            read(*listing);
        }
    }
    m_listings[folder] = {now, readAt, listing};
    return listing;
}

// The cookies are few and a running browser writes them at any time: they are read on every walk.
void BrowserUrlCache::addCookies(std::vector<Cookie>& cookies, const std::filesystem::path& store,
                                 const std::string& table, const std::string& hostColumn) const {
    // The store itself must not be a link; the folders above it may be.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(store, ec)) || platform::isLink(store))
        return;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(platform::utf8Of(formats::SqliteCleaner::openable(store)).c_str(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 500);
        const std::string sql =
            "SELECT DISTINCT " + hostColumn + ", path FROM " + table + " ORDER BY ltrim(" + hostColumn + ", '.'), path";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                const auto* h = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                const auto* pa = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                const std::string host = h ? h : "";
                const std::string shown = !host.empty() && host.front() == '.' ? host.substr(1) : host;
                cookies.push_back(
                    {std::string("Cookie:").append(m_user).append("@").append(shown).append(pa && *pa ? pa : "/"),
                     store, table, hostColumn, host, pa ? pa : ""});
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
}

BrowserUrlCache::Walk BrowserUrlCache::snapshot() {
    m_known = std::make_shared<const std::vector<Part>>(walk());
    m_byName.clear();
    return m_known;
}

// The entries of a walk in order: each profile's folders' entries, then its cookies.
std::optional<platform::UrlCacheEntry> BrowserUrlCache::next(Cursor& c) {
    const auto& parts = *c.walk;
    while (c.part < parts.size()) {
        const Part& p = parts[c.part];
        if (c.folder < p.folders.size()) {
            const auto& entries = p.folders[c.folder]->entries;
            if (c.item < entries.size())
                return platform::UrlCacheEntry{entries[c.item++].address, platform::kNormalCacheEntry};
            ++c.folder;
            c.item = 0;
            continue;
        }
        if (c.item < p.cookies.size())
            return platform::UrlCacheEntry{p.cookies[c.item++].name, platform::kCookieCacheEntry};
        ++c.part;
        c.folder = 0;
        c.item = 0;
    }
    return std::nullopt;
}

std::optional<platform::UrlCacheEntry> BrowserUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    Cursor c{snapshot()};
    auto first = next(c);
    if (!first) return std::nullopt;
    find = m_next++;
    m_finds[find] = std::move(c);
    return first;
}

std::optional<platform::UrlCacheEntry> BrowserUrlCache::findNext(platform::UrlCacheFind find) {
    auto it = m_finds.find(find);
    if (it == m_finds.end()) return std::nullopt;
    return next(it->second);
}

void BrowserUrlCache::findClose(platform::UrlCacheFind find) { m_finds.erase(find); }

platform::Status BrowserUrlCache::deleteEntry(const std::string& name) {
    if (!m_known) (void)snapshot();
    const auto& parts = *m_known;
    if (m_byName.empty()) {
        for (std::size_t p = 0; p < parts.size(); ++p) {
            for (std::size_t f = 0; f < parts[p].folders.size(); ++f)
                for (std::size_t i = 0; i < parts[p].folders[f]->entries.size(); ++i)
                    m_byName[parts[p].folders[f]->entries[i].address].push_back({p, f, i});
            for (std::size_t i = 0; i < parts[p].cookies.size(); ++i)
                m_byName[parts[p].cookies[i].name].push_back({p, parts[p].folders.size(), i});
        }
    }
    // What is deleted changes the cache: the next walk reads it again.
    m_listings.clear();
    const auto at = m_byName.find(name);
    if (at == m_byName.end()) return platform::Error{ENOENT, "no cache entry named " + name};
    // A name whose files and rows are all gone already (a browser's own step took them) is
    // gone, not removed: the run counts only what it removed.
    bool removedAny = false;
    for (const auto& ref : at->second) {
        const Part& part = parts[ref.part];
        if (part.running) return platform::Error{EBUSY, part.refusal};
        if (ref.folder < part.folders.size()) {
            // Removed by the files the listing saw. One already gone (one resource embedded by two
            // sites is kept under two keys with the same address, or the browser's own eviction)
            // is no failure.
            const Listing& l = *part.folders[ref.folder];
            const auto& e = l.entries[ref.item];
            for (std::uint32_t f = 0; f < e.fileCount; ++f) {
                auto s = m_files.remove(l.folder / l.names[l.files[e.firstFile + f]].name);
                if (!s && !platform::isGone(s.error())) return s;
                removedAny = removedAny || s.ok();
            }
        } else {
            // The table and column are the browser's own names, fixed here; the host and path are
            // whatever a site chose, and are bound.
            const Cookie& c = part.cookies[ref.item];
            const std::string sql = "DELETE FROM " + c.table + " WHERE " + c.hostColumn + " = ? AND path = ?";
            auto s = formats::SqliteCleaner::run(c.database, {{sql, {c.table}, {{c.host, c.path}}}});
            if (!s) return s.status();
            removedAny = removedAny || *s > 0;
        }
    }
    if (!removedAny) return platform::Error{ENOENT, name + ": already gone"};
    return {};
}

// The listed entries `picked` go from the folder held open since the listing, by the names the
// listing saw and no other: a file that came after the listing stays, whatever its name. A
// folder that is no longer the one listed (a link or another folder in its place) is named and
// left alone.
void BrowserUrlCache::removeFolder(const Listing& l, const std::vector<std::uint32_t>& picked, CleanReport* report,
                                   CleanArea area) {
    auto fail = [&](const std::string& what, const std::string& why) {
        if (report) report->fail(area, what, why);
    };
    m_listings.erase(l.folder);
    const auto now = m_files.status(l.folder);
    const auto held = l.dir->status();
    if (now && now->type == platform::FileType::Symlink) {
        fail(platform::utf8Of(l.folder), "a link to somewhere else, not followed");
        return;
    }
    if (!now || !held || now->type == platform::FileType::NotFound || now->identity() != held->identity()) {
        // Gone with all it held is nothing left to remove; moved or replaced is not this run's.
        if (now && now->type == platform::FileType::NotFound) return;
        fail(platform::utf8Of(l.folder), !now ? now.error().message : "replaced since it was listed, left alone");
        return;
    }
    for (const std::uint32_t i : picked) {
        const auto& e = l.entries[i];
        bool removedAny = false;
        for (std::uint32_t f = 0; f < e.fileCount; ++f) {
            auto s = l.dir->unlinkAt(l.names[l.files[e.firstFile + f]].name, false);
            if (s) {
                removedAny = true;
            } else if (!platform::isGone(s.error())) {
                fail(e.address, s.error().message);  // named once, by its address
                break;
            }
        }
        if (removedAny && report) report->removed(area, 1, e.bytes);
    }
}

void BrowserUrlCache::planRemoval(PlanSink& sink, CleanReport* report, CleanArea area, const Pick& pick) {
    const Walk walk = snapshot();
    for (const Part& part : *walk) {
        sink.setSource(part.browser, part.profile);
        // A running browser's entries stay: said once per profile when the step runs.
        auto refuse = [report, area, who = part.refusal, browser = part.browser] {
            if (report) report->fail(area, who, browser + " is running", true);
        };
        for (const auto& listing : part.folders) {
            std::vector<std::uint32_t> picked;
            std::vector<std::string> names;
            std::uint64_t bytes = 0;
            std::vector<bool> taken(listing->names.size());
            for (std::uint32_t i = 0; i < listing->entries.size(); ++i) {
                const auto& e = listing->entries[i];
                if (!pick(e.address, platform::kNormalCacheEntry)) continue;
                picked.push_back(i);
                names.push_back(e.address);
                bytes += e.bytes;
                for (std::uint32_t f = 0; f < e.fileCount; ++f) taken[listing->files[e.firstFile + f]] = true;
            }
            if (picked.empty()) continue;
            // In inode order: on a filesystem that keeps its inodes in tables (ext4), removing
            // tens of thousands of files in name order writes all over them; `rm -r` sorts too.
            std::sort(picked.begin(), picked.end(), [&](std::uint32_t a, std::uint32_t b) {
                return listing->entries[a].inode < listing->entries[b].inode;
            });
            const std::string what = platform::utf8Of(listing->folder);
            if (part.running) {
                sink.step(area, what, 0, 0, refuse, std::move(names));
                continue;
            }
            std::vector<platform::DirectoryEntry> rest;
            for (std::size_t i = 0; i < listing->names.size(); ++i)
                if (!taken[i]) rest.push_back(listing->names[i]);
            sink.cover(listing->folder, std::move(rest));
            const auto items = picked.size();
            sink.step(
                area, what, items, bytes,
                [this, listing, picked = std::move(picked), report, area] {
                    removeFolder(*listing, picked, report, area);
                },
                std::move(names));
        }
        // The cookies one store at a time, in one transaction each. The browser's own cookie step
        // takes the same rows first and counts them; this one takes what it left (a cookie the
        // browser's step does not know), so it counts nothing in the plan.
        std::map<std::filesystem::path, std::vector<const Cookie*>> stores;
        for (const auto& c : part.cookies)
            if (pick(c.name, platform::kCookieCacheEntry)) stores[c.database].push_back(&c);
        for (const auto& found : stores) {
            const std::filesystem::path store = found.first;  // a binding of its own, for the step to keep
            const auto& cookies = found.second;
            std::vector<std::string> names;
            std::vector<std::vector<std::string>> rows;
            for (const Cookie* c : cookies) {
                names.push_back(c->name);
                rows.push_back({c->host, c->path});
            }
            const std::string what = platform::utf8Of(store);
            if (part.running) {
                sink.step(area, what, 0, 0, refuse, std::move(names));
                continue;
            }
            const Cookie& first = *cookies.front();
            const std::string sql = "DELETE FROM " + first.table + " WHERE " + first.hostColumn + " = ? AND path = ?";
            sink.step(
                area, what, 0, 0,
                [store, sql, table = first.table, rows = std::move(rows), report, area, what] {
                    auto s = formats::SqliteCleaner::run(store, {{sql, {table}, rows}});
                    if (!report) return;
                    if (!s)
                        report->fail(area, what, s.error().message);
                    else
                        report->removed(area, *s);
                },
                std::move(names));
        }
    }
}

}  // namespace quenvor::cleaning::common
