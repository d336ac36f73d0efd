#include "cleaning/ChromiumUrlCache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>

#include "cleaning/ChromiumRunning.h"
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
    std::ifstream in(entry, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uint64_t>(std::max<std::streamoff>(0, in.tellg()));
    in.seekg(0);
    // The header says how long the key is: read just the header, then just the key.
    std::string head(kHeaderSize, '\0');
    if (!in.read(head.data(), kHeaderSize)) return std::nullopt;
    const std::uint32_t length = le32(reinterpret_cast<const unsigned char*>(head.data()) + 12);
    if (length == 0 || length > kMaxKey || kHeaderSize + std::uint64_t{length} > size) return std::nullopt;
    head.resize(kHeaderSize + length);
    if (!in.read(head.data() + kHeaderSize, length)) return std::nullopt;
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

std::vector<ChromiumUrlCache::Item> ChromiumUrlCache::snapshot() {
    std::vector<Item> items;
    std::set<fs::path> seenDirs, seenStores;
    for (const auto& p : ChromiumProfiles(m_s).find()) {
        const bool running = ChromiumRunning::running(p.root, m_s.files, m_processes);
        const auto first = items.size();
        for (const auto& base : {p.folder, p.cacheFolder}) {
            const fs::path dir = base / "Cache" / "Cache_Data";
            if (!seenDirs.insert(dir).second) continue;
            auto listing = m_s.files.list(dir);
            if (!listing) continue;
            std::sort(listing->begin(), listing->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
            for (const auto& e : *listing) {
                if (e.type != FileType::Regular || !entryFileName(e.name)) continue;
                const auto key = entryKey(dir / e.name);
                if (!key) continue;
                const std::string url = address(*key);
                if (url.empty()) continue;
                items.push_back({{url, platform::kNormalCacheEntry}, dir / e.name, {}, {}, {}, {}, false});
            }
        }
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
                        std::string name = "Cookie:";
                        name.append(m_user).append("@").append(shown).append(path);
                        items.push_back(
                            {{std::move(name), platform::kCookieCacheEntry}, {}, store, host, pa ? pa : "", {}, false});
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
    return items;
}

std::optional<platform::UrlCacheEntry> ChromiumUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    auto items = snapshot();
    m_known = items;
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
    if (m_known.empty()) m_known = snapshot();
    bool found = false;
    for (const auto& item : m_known) {
        if (item.entry.sourceUrlName != name) continue;
        found = true;
        if (item.running) return platform::Error{EBUSY, item.profile};
        if (!item.file.empty()) {
            // An entry's second stream and sparse data live beside it under the same hash. One
            // already gone (a second key with the same address) is no failure.
            const std::string file = platform::utf8Of(item.file);
            const std::string stem = file.substr(0, file.size() - 2);
            for (const char* suffix : {"_0", "_1", "_s"}) {
                auto s = m_s.files.remove(platform::pathFromUtf8(stem + suffix));
                if (!s && s.error().code != ENOENT) return s;
            }
        } else {
            const std::string sql =
                "DELETE FROM cookies WHERE host_key = " + sqlText(item.host) + " AND path = " + sqlText(item.path);
            if (auto s = SqliteCleaner::run(item.database, {{sql, {"cookies"}}}); !s) return s;
        }
    }
    if (!found) return platform::Error{ENOENT, "no cache entry named " + name};
    return {};
}

}  // namespace quenvor::cleaning
