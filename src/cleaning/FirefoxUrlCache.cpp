#include "cleaning/FirefoxUrlCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>

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

}  // namespace

FirefoxUrlCache::FirefoxUrlCache(FirefoxProfiles::Services s, platform::IProcessTable* processes, std::string userName)
    : m_s(s), m_processes(processes), m_user(std::move(userName)) {}

std::unique_ptr<FirefoxUrlCache> FirefoxUrlCache::fromServices(const platform::PlatformServices& s) {
    if (!s.registry || !s.profiles || !s.files || !s.folders) return nullptr;
    const std::string user = s.processes ? s.processes->currentUserName() : std::string();
    return std::make_unique<FirefoxUrlCache>(FirefoxProfiles::Services{*s.registry, *s.profiles, *s.files, *s.folders},
                                             s.processes, user);
}

std::vector<FirefoxUrlCache::Item> FirefoxUrlCache::snapshot() {
    std::vector<Item> items;
    for (const auto& p : FirefoxProfiles(m_s).find()) {
        const bool running = FirefoxProfiles::running(p, m_processes);
        const auto first = items.size();
        const auto entries = p.cacheFolder / "cache2" / "entries";
        if (auto listing = m_s.files.list(entries)) {
            std::sort(listing->begin(), listing->end(), [](auto& a, auto& b) { return a.name < b.name; });
            for (const auto& e : *listing) {
                if (e.type != FileType::Regular) continue;
                const auto key = CacheEntryKey::read(entries / e.name);
                if (!key) continue;
                const std::string address = CacheEntryKey::address(*key);
                if (address.empty()) continue;
                items.push_back({{address, platform::kNormalCacheEntry}, entries / e.name, {}, {}, {}, {}, false});
            }
        }
        const auto cookies = p.folder / "cookies.sqlite";
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(platform::utf8Of(cookies).c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW,
                            nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT DISTINCT host, path FROM moz_cookies ORDER BY ltrim(host, '.'), path",
                                   -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    const auto* h = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                    const auto* pa = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                    const std::string host = h ? h : "", path = pa ? pa : "/";
                    const std::string shown = !host.empty() && host.front() == '.' ? host.substr(1) : host;
                    items.push_back({{"Cookie:" + m_user + "@" + shown + path, platform::kCookieCacheEntry},
                                     {},
                                     cookies,
                                     host,
                                     path,
                                     {},
                                     false});
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
    return items;
}

std::optional<platform::UrlCacheEntry> FirefoxUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    auto items = snapshot();
    m_known = items;
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
    if (m_known.empty()) m_known = snapshot();
    bool found = false;
    for (const auto& item : m_known) {
        if (item.entry.sourceUrlName != name) continue;
        found = true;
        if (item.running) return platform::Error{EBUSY, item.profile};
        if (!item.file.empty()) {
            if (auto s = m_s.files.remove(item.file); !s) return s;
        } else {
            const std::string sql =
                "DELETE FROM moz_cookies WHERE host = " + sqlText(item.host) + " AND path = " + sqlText(item.path);
            if (auto s = SqliteCleaner::run(item.database, {{sql, {"moz_cookies"}}}); !s) return s;
        }
    }
    if (!found) return platform::Error{2, "no cache entry named " + name};
    return {};
}

}  // namespace quenvor::cleaning
