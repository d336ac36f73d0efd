#include "cleaning/FirefoxUrlCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <iterator>

#include "cleaning/CacheEntryKey.h"
#include "cleaning/SqliteCleaner.h"
#include "platform/IFileService.h"
#include "platform/IProcessTable.h"
#include "platform/PlatformServices.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning {

using platform::FileType;

namespace {

std::string sqlText(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

constexpr std::int64_t kClockTickNs = 100'000'000;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

FirefoxUrlCache::FirefoxUrlCache(FirefoxProfiles::Services s, platform::IProcessTable* processes, std::string userName)
    : m_s(s), m_processes(processes), m_user(std::move(userName)) {}

std::unique_ptr<FirefoxUrlCache> FirefoxUrlCache::fromServices(const platform::PlatformServices& s) {
    if (!s.registry || !s.profiles || !s.files || !s.folders) return nullptr;
    const std::string user = s.processes ? s.processes->currentUserName() : std::string();
    return std::make_unique<FirefoxUrlCache>(FirefoxProfiles::Services{*s.registry, *s.profiles, *s.files, *s.folders},
                                             s.processes, user);
}

// The entries of one cache folder, read once: both lists of the page walk the cache one after
// the other, and the second reads no entry again. The folder's time changes whenever an entry
// is added or removed; a time is only as fine as the system's clock tick, so a listing read
// within a tick of its folder's last change is read again rather than trusted.
std::vector<FirefoxUrlCache::Item> FirefoxUrlCache::entriesIn(const std::filesystem::path& entries) {
    std::array<std::int64_t, 3> now{-1, -1, -1};
    if (auto st = m_s.files.status(entries))
        now = {st->modifiedNs, static_cast<std::int64_t>(st->size), static_cast<std::int64_t>(st->inode)};
    if (auto it = m_listings.find(entries);
        it != m_listings.end() && it->second.stamp == now && now[0] < it->second.readAt - kClockTickNs)
        return it->second.items;
    const std::int64_t readAt = nowNs();
    std::vector<Item> items;
    if (auto listing = m_s.files.list(entries)) {
        std::sort(listing->begin(), listing->end(), [](auto& a, auto& b) { return a.name < b.name; });
        for (const auto& e : *listing) {
            if (e.type != FileType::Regular) continue;
            const auto key = CacheEntryKey::read(entries / e.name);
            if (!key) continue;
            std::string address = CacheEntryKey::address(*key);
            if (address.empty()) continue;
            Item item;
            item.entry = {std::move(address), platform::kNormalCacheEntry};
            item.file = entries / e.name;
            items.push_back(std::move(item));
        }
    }
    m_listings[entries] = {now, readAt, items};
    return items;
}

std::vector<FirefoxUrlCache::Item> FirefoxUrlCache::snapshot() {
    std::vector<Item> items;
    for (const auto& p : FirefoxProfiles(m_s).find()) {
        const bool running = FirefoxProfiles::running(p, m_processes);
        const auto first = items.size();
        auto entries = entriesIn(p.cacheFolder / "cache2" / "entries");
        items.insert(items.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
        // The cookies are few and a running Firefox writes them at any time: read on every walk.
        const auto cookies = p.folder / "cookies.sqlite";
        sqlite3* db = nullptr;
        std::error_code ec;
        if (std::filesystem::is_regular_file(std::filesystem::symlink_status(cookies, ec)) &&
            sqlite3_open_v2(platform::utf8Of(SqliteCleaner::openable(cookies)).c_str(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT DISTINCT host, path FROM moz_cookies ORDER BY ltrim(host, '.'), path",
                                   -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    const auto* h = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                    const auto* pa = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                    const std::string host = h ? h : "", path = pa ? pa : "/";
                    const std::string shown = !host.empty() && host.front() == '.' ? host.substr(1) : host;
                    Item item;
                    item.entry = {std::string("Cookie:").append(m_user).append("@").append(shown).append(path),
                                  platform::kCookieCacheEntry};
                    item.database = cookies;
                    item.host = host;
                    item.path = path;
                    items.push_back(std::move(item));
                }
            }
            sqlite3_finalize(st);
        }
        sqlite3_close_v2(db);
        for (auto i = first; i < items.size(); ++i) {
            items[i].profile = p.name;
            items[i].running = running;
        }
    }
    m_known = items;
    m_byName.clear();
    m_byName.reserve(m_known.size());
    for (std::size_t i = 0; i < m_known.size(); ++i) m_byName[m_known[i].entry.sourceUrlName].push_back(i);
    return items;
}

std::optional<platform::UrlCacheEntry> FirefoxUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    auto items = snapshot();
    if (items.empty()) return std::nullopt;
    find = m_next++;
    auto first = items.front().entry;
    m_finds[find] = {std::move(items), 1};
    return first;
}

std::optional<platform::UrlCacheEntry> FirefoxUrlCache::findNext(platform::UrlCacheFind find) {
    auto it = m_finds.find(find);
    if (it == m_finds.end()) return std::nullopt;
    auto& [items, next] = it->second;
    if (next >= items.size()) return std::nullopt;
    return items[next++].entry;
}

void FirefoxUrlCache::findClose(platform::UrlCacheFind find) { m_finds.erase(find); }

platform::Status FirefoxUrlCache::deleteEntry(const std::string& name) {
    if (m_known.empty()) (void)snapshot();
    // What is deleted changes the cache: the next walk reads it again.
    m_listings.clear();
    const auto at = m_byName.find(name);
    if (at == m_byName.end()) return platform::Error{ENOENT, "no cache entry named " + name};
    for (const std::size_t i : at->second) {
        const auto& item = m_known[i];
        if (item.running) return platform::Error{EBUSY, item.profile};
        if (!item.file.empty()) {
            // One resource embedded by two sites is kept under two keys with the same address:
            // each is removed by its own file, and one already gone is no failure.
            if (auto s = m_s.files.remove(item.file); !s && s.error().code != ENOENT) return s;
        } else {
            const std::string sql =
                "DELETE FROM moz_cookies WHERE host = " + sqlText(item.host) + " AND path = " + sqlText(item.path);
            if (auto s = SqliteCleaner::run(item.database, {{sql, {"moz_cookies"}}}); !s) return s;
        }
    }
    return {};
}

}  // namespace quenvor::cleaning
