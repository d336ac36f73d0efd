#include "cleaning/ChromiumUrlCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <iterator>
#include <set>

#include "cleaning/ChromiumRunning.h"
#include "cleaning/EntryFile.h"
#include "cleaning/SqliteCleaner.h"
#include "platform/IFileService.h"
#include "platform/IProcessTable.h"
#include "platform/PlatformServices.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning {

using platform::FileType;
namespace fs = std::filesystem;

namespace {

// The entry file's header: a magic number, the format version, the key's length and hash,
// padded to 24 bytes; the key follows it.
constexpr std::uint64_t kEntryMagic = 0xfcfb6d1ba7725c30ULL;
constexpr std::size_t kHeaderSize = 24;
constexpr std::uint32_t kMaxKey = 64 * 1024;

std::uint32_t le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

std::uint64_t le64(const unsigned char* p) { return std::uint64_t{le32(p)} | (std::uint64_t{le32(p + 4)} << 32); }

bool entryFileName(const std::string& n) {
    return n.size() == 18 && n.compare(16, 2, "_0") == 0 &&
           std::all_of(n.begin(), n.begin() + 16, [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

std::string sqlText(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

bool regularFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(p, ec));
}

constexpr std::int64_t kClockTickNs = 100'000'000;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ChromiumUrlCache::ChromiumUrlCache(ChromiumProfiles::Services s, platform::IProcessTable* processes,
                                   std::string userName)
    : m_s(s), m_processes(processes), m_user(std::move(userName)) {}

std::unique_ptr<ChromiumUrlCache> ChromiumUrlCache::fromServices(const platform::PlatformServices& s) {
    if (!s.files || !s.folders) return nullptr;
    const std::string user = s.processes ? s.processes->currentUserName() : std::string();
    return std::make_unique<ChromiumUrlCache>(ChromiumProfiles::Services{*s.files, *s.folders}, s.processes, user);
}

std::optional<std::string> ChromiumUrlCache::parseEntryKey(std::string_view head, std::uint64_t fileSize) {
    if (head.size() < kHeaderSize) return std::nullopt;
    const auto* h = reinterpret_cast<const unsigned char*>(head.data());
    if (le64(h) != kEntryMagic) return std::nullopt;
    const std::uint32_t version = le32(h + 8), length = le32(h + 12);
    if (version == 0 || version > 64 || length == 0 || length > kMaxKey) return std::nullopt;
    if (kHeaderSize + std::uint64_t{length} > fileSize || kHeaderSize + length > head.size()) return std::nullopt;
    return std::string(head.substr(kHeaderSize, length));
}

std::optional<std::string> ChromiumUrlCache::entryKey(const fs::path& entry) {
    auto file = EntryFile::open(entry);
    if (!file) return std::nullopt;
    const std::uint64_t size = file->size();
    // The header says how long the key is; most keys fit in the first read with it.
    constexpr std::size_t kFirstRead = 1024;
    std::string head(static_cast<std::size_t>(std::min<std::uint64_t>(size, kFirstRead)), '\0');
    if (head.size() < kHeaderSize || !file->readAt(0, head.data(), head.size())) return std::nullopt;
    const std::uint32_t length = le32(reinterpret_cast<const unsigned char*>(head.data()) + 12);
    if (length == 0 || length > kMaxKey || kHeaderSize + std::uint64_t{length} > size) return std::nullopt;
    if (kHeaderSize + length > head.size()) {
        const std::size_t had = head.size();
        head.resize(kHeaderSize + length);
        if (!file->readAt(had, head.data() + had, head.size() - had)) return std::nullopt;
    }
    return parseEntryKey(head, size);
}

std::string ChromiumUrlCache::address(const std::string& key) {
    // A partitioned key names the top-level and the frame's site before the address, each
    // followed by a space; an address itself holds no space.
    std::string a = key;
    if (auto space = a.rfind(' '); space != std::string::npos) a = a.substr(space + 1);
    // Old keys carry only the "<credentials>/<upload id>/" prefix.
    for (int i = 0; i < 2; ++i) {
        const auto slash = a.find('/');
        if (slash == std::string::npos || slash == 0) break;
        if (!std::all_of(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(slash),
                         [](char c) { return c >= '0' && c <= '9'; }))
            break;
        a = a.substr(slash + 1);
    }
    if (a.find("://") == std::string::npos) return {};
    if (std::any_of(a.begin(), a.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) return {};
    return a;
}

// A separator no profile or browser name holds, so a Firefox profile's name never reads as one.
constexpr char kBusySeparator = '\x1f';

std::string ChromiumUrlCache::busyName(const std::string& browser, const std::string& profile) {
    return browser + kBusySeparator + profile;
}

bool ChromiumUrlCache::splitBusyName(const std::string& name, std::string& browser, std::string& profile) {
    const auto at = name.find(kBusySeparator);
    if (at == std::string::npos || at == 0) return false;
    browser = name.substr(0, at);
    profile = name.substr(at + 1);
    return true;
}

// The entries of one cache folder, read once and shared by both lists of the page and the run,
// as long as the folder's time, size and inode stay as they were: the browser adds or removes an
// entry only by adding or removing its files. A time is only as fine as the clock's tick, so a
// listing read within a tick of its folder's last change is read again rather than trusted.
std::vector<ChromiumUrlCache::Item> ChromiumUrlCache::entriesIn(const fs::path& dir) {
    std::array<std::int64_t, 3> now{-1, -1, -1};
    if (auto st = m_s.files.status(dir))
        now = {st->modifiedNs, static_cast<std::int64_t>(st->size), static_cast<std::int64_t>(st->inode)};
    if (auto it = m_listings.find(dir);
        it != m_listings.end() && it->second.stamp == now && now[0] < it->second.readAt - kClockTickNs)
        return it->second.items;
    const std::int64_t readAt = nowNs();
    std::vector<Item> items;
    if (auto listing = m_s.files.list(dir)) {
        std::sort(listing->begin(), listing->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        auto listed = [&](const std::string& name) {
            const auto it = std::lower_bound(listing->begin(), listing->end(), name,
                                             [](const auto& e, const std::string& n) { return e.name < n; });
            return it != listing->end() && it->name == name && it->type == FileType::Regular;
        };
        for (const auto& e : *listing) {
            if (e.type != FileType::Regular || !entryFileName(e.name)) continue;
            const auto key = entryKey(dir / e.name);
            if (!key) continue;
            std::string url = address(*key);
            if (url.empty()) continue;
            Item item;
            item.entry = {std::move(url), platform::kNormalCacheEntry};
            item.files.push_back(dir / e.name);
            // The entry's second stream and sparse data live beside it under the same hash.
            const std::string stem = e.name.substr(0, 16);
            for (const char* suffix : {"_1", "_s"})
                if (listed(stem + suffix)) item.files.push_back(dir / (stem + suffix));
            items.push_back(std::move(item));
        }
    }
    m_listings[dir] = {now, readAt, items};
    return items;
}

std::vector<ChromiumUrlCache::Item> ChromiumUrlCache::snapshot() {
    std::vector<Item> items;
    std::set<fs::path> seenDirs, seenStores;
    for (const auto& p : ChromiumProfiles(m_s).find()) {
        const bool running = ChromiumRunning::running(p.root, m_s.files, m_processes);
        const auto first = items.size();
        for (const auto& base : {p.folder, p.cacheFolder}) {
            const fs::path dir = base / "Cache" / "Cache_Data";
            if (!seenDirs.insert(dir).second) continue;
            auto entries = entriesIn(dir);
            items.insert(items.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
        }
        // The cookies are few and a running browser writes them at any time: read on every walk.
        for (const auto& store : {p.folder / "Network" / "Cookies", p.folder / "Cookies"}) {
            // The store itself must not be a link; the folders above it may be.
            if (!regularFile(store) || !seenStores.insert(store).second) continue;
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(platform::utf8Of(store).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
                sqlite3_busy_timeout(db, 500);
                sqlite3_stmt* st = nullptr;
                if (sqlite3_prepare_v2(
                        db, "SELECT DISTINCT host_key, path FROM cookies ORDER BY ltrim(host_key, '.'), path", -1, &st,
                        nullptr) == SQLITE_OK) {
                    while (sqlite3_step(st) == SQLITE_ROW) {
                        const auto* h = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                        const auto* pa = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                        const std::string host = h ? h : "", path = pa && *pa ? pa : "/";
                        const std::string shown = !host.empty() && host.front() == '.' ? host.substr(1) : host;
                        Item item;
                        item.entry = {std::string("Cookie:").append(m_user).append("@").append(shown).append(path),
                                      platform::kCookieCacheEntry};
                        item.database = store;
                        item.host = host;
                        item.path = pa ? pa : "";
                        items.push_back(std::move(item));
                    }
                }
                sqlite3_finalize(st);
            }
            sqlite3_close_v2(db);
        }
        for (auto i = first; i < items.size(); ++i) {
            items[i].profile = busyName(p.browser, p.name);
            items[i].running = running;
        }
    }
    m_known = items;
    m_byName.clear();
    m_byName.reserve(m_known.size());
    for (std::size_t i = 0; i < m_known.size(); ++i) m_byName[m_known[i].entry.sourceUrlName].push_back(i);
    return items;
}

std::optional<platform::UrlCacheEntry> ChromiumUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    auto items = snapshot();
    if (items.empty()) return std::nullopt;
    find = m_next++;
    auto first = items.front().entry;
    m_finds[find] = {std::move(items), 1};
    return first;
}

std::optional<platform::UrlCacheEntry> ChromiumUrlCache::findNext(platform::UrlCacheFind find) {
    auto it = m_finds.find(find);
    if (it == m_finds.end()) return std::nullopt;
    auto& [items, next] = it->second;
    if (next >= items.size()) return std::nullopt;
    return items[next++].entry;
}

void ChromiumUrlCache::findClose(platform::UrlCacheFind find) { m_finds.erase(find); }

platform::Status ChromiumUrlCache::deleteEntry(const std::string& name) {
    if (m_known.empty()) (void)snapshot();
    // What is deleted changes the cache: the next walk reads it again.
    m_listings.clear();
    const auto at = m_byName.find(name);
    if (at == m_byName.end()) return platform::Error{ENOENT, "no cache entry named " + name};
    for (const std::size_t i : at->second) {
        const auto& item = m_known[i];
        if (item.running) return platform::Error{EBUSY, item.profile};
        if (!item.files.empty()) {
            // Removed by the files the listing saw. One already gone (a second key with the same
            // address, or the browser's own eviction) is no failure.
            for (const auto& f : item.files)
                if (auto s = m_s.files.remove(f); !s && s.error().code != ENOENT) return s;
        } else {
            const std::string sql =
                "DELETE FROM cookies WHERE host_key = " + sqlText(item.host) + " AND path = " + sqlText(item.path);
            if (auto s = SqliteCleaner::run(item.database, {{sql, {"cookies"}}}); !s) return s;
        }
    }
    return {};
}

}  // namespace quenvor::cleaning
