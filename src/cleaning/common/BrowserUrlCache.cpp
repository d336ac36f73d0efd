#include "cleaning/common/BrowserUrlCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

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

BrowserUrlCache::BrowserUrlCache(platform::IFileService& files, std::string userName)
    : m_files(files), m_user(std::move(userName)) {}

// The entries of one cache folder, read once and shared by both lists of the page and the run,
// as long as the folder's time, size and inode stay as they were: a browser adds or removes an
// entry only by adding or removing its files. A time is only as fine as the clock's tick, so a
// listing read within a tick of its folder's last change is read again rather than trusted.
std::vector<BrowserUrlCache::Item> BrowserUrlCache::folderEntries(const std::filesystem::path& folder,
                                                                  const ListingReader& read) {
    std::array<std::int64_t, 3> now{-1, -1, -1};
    if (auto st = m_files.status(folder))
        now = {st->modifiedNs, static_cast<std::int64_t>(st->size), static_cast<std::int64_t>(st->inode)};
    if (auto it = m_listings.find(folder);
        it != m_listings.end() && it->second.stamp == now && now[0] < it->second.readAt - kClockTickNs)
        return it->second.items;
    const std::int64_t readAt = nowNs();
    std::vector<Item> items;
    if (auto listing = m_files.list(folder)) {
        std::sort(listing->begin(), listing->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        items = read(folder, *listing);
    }
    m_listings[folder] = {now, readAt, items};
    return items;
}

// The cookies are few and a running browser writes them at any time: they are read on every walk.
void BrowserUrlCache::addCookies(std::vector<Item>& items, const std::filesystem::path& store, const std::string& table,
                                 const std::string& hostColumn) const {
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
                Item item;
                item.entry = {
                    std::string("Cookie:").append(m_user).append("@").append(shown).append(pa && *pa ? pa : "/"),
                    platform::kCookieCacheEntry};
                item.database = store;
                item.table = table;
                item.hostColumn = hostColumn;
                item.host = host;
                item.path = pa ? pa : "";
                items.push_back(std::move(item));
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close_v2(db);
}

std::vector<BrowserUrlCache::Item> BrowserUrlCache::snapshot() {
    auto items = walk();
    m_known = items;
    m_byName.clear();
    m_byName.reserve(m_known.size());
    for (std::size_t i = 0; i < m_known.size(); ++i) m_byName[m_known[i].entry.sourceUrlName].push_back(i);
    return items;
}

std::optional<platform::UrlCacheEntry> BrowserUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    auto items = snapshot();
    if (items.empty()) return std::nullopt;
    find = m_next++;
    auto first = items.front().entry;
    m_finds[find] = {std::move(items), 1};
    return first;
}

std::optional<platform::UrlCacheEntry> BrowserUrlCache::findNext(platform::UrlCacheFind find) {
    auto it = m_finds.find(find);
    if (it == m_finds.end()) return std::nullopt;
    auto& [items, next] = it->second;
    if (next >= items.size()) return std::nullopt;
    return items[next++].entry;
}

void BrowserUrlCache::findClose(platform::UrlCacheFind find) { m_finds.erase(find); }

platform::Status BrowserUrlCache::deleteEntry(const std::string& name) {
    if (m_known.empty()) (void)snapshot();
    // What is deleted changes the cache: the next walk reads it again.
    m_listings.clear();
    const auto at = m_byName.find(name);
    if (at == m_byName.end()) return platform::Error{ENOENT, "no cache entry named " + name};
    // A name whose files and rows are all gone already (a browser's own step took them) is
    // gone, not removed: the run counts only what it removed.
    bool removedAny = false;
    for (const std::size_t i : at->second) {
        const auto& item = m_known[i];
        if (item.running) return platform::Error{EBUSY, item.profile};
        if (!item.files.empty()) {
            // Removed by the files the listing saw. One already gone (one resource embedded by two
            // sites is kept under two keys with the same address, or the browser's own eviction)
            // is no failure.
            for (const auto& f : item.files) {
                auto s = m_files.remove(f);
                if (!s && !platform::isGone(s.error())) return s;
                removedAny = removedAny || s.ok();
            }
        } else {
            // The table and column are the browser's own names, fixed here; the host and path are
            // whatever a site chose, and are bound.
            const std::string sql = "DELETE FROM " + item.table + " WHERE " + item.hostColumn + " = ? AND path = ?";
            auto s = formats::SqliteCleaner::run(item.database, {{sql, {item.table}, {{item.host, item.path}}}});
            if (!s) return s.status();
            removedAny = removedAny || *s > 0;
        }
    }
    if (!removedAny) return platform::Error{ENOENT, name + ": already gone"};
    return {};
}

}  // namespace quenvor::cleaning::common
