#include "cleaning/chromium/ChromiumUrlCache.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
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

std::optional<std::string> ChromiumUrlCache::entryKey(const fs::path& entry, formats::EntryFile::Facts* facts) {
    auto file = formats::EntryFile::open(entry);
    if (!file) return std::nullopt;
    if (facts) *facts = file->facts();
    return entryKey(*file);
}

std::optional<std::string> ChromiumUrlCache::entryKey(formats::EntryFile& file) {
    const std::uint64_t size = file.size();
    // The header says how long the key is; most keys fit in the first read with it, which stays
    // on the stack (a start-up reads tens of thousands of these).
    constexpr std::size_t kFirstRead = 1024;
    std::array<char, kFirstRead> first;
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, kFirstRead));
    if (n < kHeaderSize || !file.readAt(0, first.data(), n)) return std::nullopt;
    const std::uint32_t length = le32(reinterpret_cast<const unsigned char*>(first.data()) + 12);
    if (length == 0 || length > kMaxKey || kHeaderSize + std::uint64_t{length} > size) return std::nullopt;
    if (kHeaderSize + length <= n) return parseEntryKey(std::string_view(first.data(), n), size);
    std::string head(first.data(), n);
    head.resize(kHeaderSize + length);
    if (!file.readAt(n, head.data() + n, head.size() - n)) return std::nullopt;
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

void ChromiumUrlCache::entriesIn(Listing& listing) {
    const auto& names = listing.names;
    auto listed = [&](const std::string& name) -> std::optional<std::uint32_t> {
        const auto it = std::lower_bound(names.begin(), names.end(), name,
                                         [](const auto& e, const std::string& n) { return e.name < n; });
        if (it == names.end() || it->name != name || it->type != FileType::Regular) return std::nullopt;
        return static_cast<std::uint32_t>(it - names.begin());
    };
    for (std::uint32_t i = 0; i < names.size(); ++i) {
        const auto& e = names[i];
        if (e.type != FileType::Regular || !entryFileName(e.name)) continue;
        auto file = formats::EntryFile::openIn(*listing.dir, e.name);
        if (!file) continue;
        const auto facts = file->facts();
        const auto key = entryKey(*file);
        file.reset();
        std::uint64_t size = facts.size;
        if (!key) continue;
        std::string url = address(*key);
        if (url.empty()) continue;
        // The entry's second stream and sparse data live beside it under the same hash; what they
        // hold is counted from the folder held open.
        std::optional<std::uint32_t> more[2];
        const std::string stem = e.name.substr(0, 16);
        std::size_t n = 0;
        for (const char* suffix : {"_1", "_s"}) {
            if (auto at = listed(stem + suffix)) {
                more[n++] = at;
                if (auto st = listing.dir->statAt(names[*at].name)) size += st->size;
            }
        }
        if (n == 0)
            listing.add(std::move(url), {i}, size, facts.inode);
        else if (n == 1)
            listing.add(std::move(url), {i, *more[0]}, size, facts.inode);
        else
            listing.add(std::move(url), {i, *more[0], *more[1]}, size, facts.inode);
    }
}

std::vector<ChromiumUrlCache::Part> ChromiumUrlCache::walk() {
    std::vector<Part> parts;
    std::set<fs::path> seenDirs, seenStores;
    for (const auto& p : ChromiumProfiles(m_s).find()) {
        Part part{
            p.browser, p.name, busyName(p.browser, p.name), ChromiumRunning::running(p.root, m_s.files, m_processes),
            {},        {}};
        for (const auto& base : {p.folder, p.cacheFolder}) {
            const fs::path dir = base / "Cache" / "Cache_Data";
            if (seenDirs.insert(dir).second) part.folders.push_back(folderEntries(dir, entriesIn));
        }
        for (const auto& store : {p.folder / "Network" / "Cookies", p.folder / "Cookies"})
            if (seenStores.insert(store).second) addCookies(part.cookies, store, "cookies", "host_key");
        parts.push_back(std::move(part));
    }
    return parts;
}

}  // namespace quenvor::cleaning::chromium
