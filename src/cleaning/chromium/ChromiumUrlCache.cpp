#include "cleaning/chromium/ChromiumUrlCache.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iterator>
#include <set>

#include "cleaning/chromium/ChromiumRunning.h"
#include "cleaning/formats/EntryFile.h"
#include "platform/IFileService.h"
#include "platform/IProcessTable.h"
#include "platform/PlatformServices.h"

namespace quenvor::cleaning::chromium {

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

}  // namespace

ChromiumUrlCache::ChromiumUrlCache(ChromiumProfiles::Services s, platform::IProcessTable* processes,
                                   std::string userName)
    : common::BrowserUrlCache(s.files, std::move(userName)), m_s(s), m_processes(processes) {}

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
    auto file = formats::EntryFile::open(entry);
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

std::vector<ChromiumUrlCache::Item> ChromiumUrlCache::entriesIn(const fs::path& dir,
                                                                const std::vector<platform::DirectoryEntry>& listing) {
    auto listed = [&](const std::string& name) {
        const auto it = std::lower_bound(listing.begin(), listing.end(), name,
                                         [](const auto& e, const std::string& n) { return e.name < n; });
        return it != listing.end() && it->name == name && it->type == FileType::Regular;
    };
    std::vector<Item> items;
    for (const auto& e : listing) {
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
    return items;
}

std::vector<ChromiumUrlCache::Item> ChromiumUrlCache::walk() {
    std::vector<Item> items;
    std::set<fs::path> seenDirs, seenStores;
    for (const auto& p : ChromiumProfiles(m_s).find()) {
        const bool running = ChromiumRunning::running(p.root, m_s.files, m_processes);
        const auto first = items.size();
        for (const auto& base : {p.folder, p.cacheFolder}) {
            const fs::path dir = base / "Cache" / "Cache_Data";
            if (!seenDirs.insert(dir).second) continue;
            auto entries = folderEntries(dir, entriesIn);
            items.insert(items.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
        }
        for (const auto& store : {p.folder / "Network" / "Cookies", p.folder / "Cookies"})
            if (seenStores.insert(store).second) addCookies(items, store, "cookies", "host_key");
        for (auto i = first; i < items.size(); ++i) {
            items[i].profile = busyName(p.browser, p.name);
            items[i].running = running;
        }
    }
    return items;
}

}  // namespace quenvor::cleaning::chromium
