#include "cleaning/chromium/KeptSiteData.h"

#include <cctype>
#include <fstream>
#include <iterator>

#include "cleaning/formats/SqliteReader.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::chromium {

namespace fs = std::filesystem;
using platform::FileType;

namespace {

// A LevelDB store's files are small logs and tables; anything larger is not read whole.
constexpr std::uint64_t kMaxScanned = 64ull << 20;

// Every byte of the plain files directly in a folder, for a search of the origins named there.
std::string folderBytes(platform::IFileService& files, const fs::path& dir) {
    std::string all;
    auto listing = files.list(dir);
    if (!listing) return all;
    for (const auto& e : *listing) {
        if (e.type != FileType::Regular) continue;
        auto st = files.status(dir / e.name);
        if (!st || st->type != FileType::Regular || st->size > kMaxScanned) continue;
        std::ifstream in(dir / e.name, std::ios::binary);
        all.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return all;
}

}  // namespace

std::string KeptSiteData::folderHost(const std::string& name) {
    const auto scheme = name.find('_');
    if (scheme == std::string::npos) return {};
    const std::string s = name.substr(0, scheme);
    if (s != "http" && s != "https") return {};
    const std::string rest = name.substr(scheme + 1);
    const auto port = rest.rfind('_');
    if (port == std::string::npos || port == 0) return {};
    return common::KeepList::hostOf(rest.substr(0, port));
}

std::set<std::string> KeptSiteData::originHosts(const std::string& bytes) {
    std::set<std::string> hosts;
    for (const char* scheme : {"http://", "https://"}) {
        const std::string_view sv(scheme);
        for (auto at = bytes.find(sv); at != std::string::npos; at = bytes.find(sv, at + 1)) {
            std::size_t end = at + sv.size();
            while (end < bytes.size() && (std::isalnum(static_cast<unsigned char>(bytes[end])) || bytes[end] == '.' ||
                                          bytes[end] == '-' || bytes[end] == '_'))
                ++end;
            if (end > at + sv.size())
                hosts.insert(common::KeepList::hostOf(bytes.substr(at + sv.size(), end - at - sv.size())));
        }
    }
    return hosts;
}

KeptSiteData::Found KeptSiteData::find(platform::IFileService& files, const fs::path& profile,
                                       const common::KeepList& keep) {
    Found found;
    auto kept = [&](const std::string& host) {
        const std::string* by = keep.entryKeeping(host);
        if (by) found.keptBy.insert(*by);
        return by != nullptr;
    };

    for (const fs::path& store : {profile / "Network" / "Cookies", profile / "Cookies"}) {
        auto rows =
            formats::SqliteReader::rows(store, "cookies", "SELECT host_key, count(*) FROM cookies GROUP BY host_key");
        if (!rows) {
            found.failures.emplace_back(platform::utf8Of(store), rows.error().message);
            continue;
        }
        Rows r{store, {}, 0};
        for (const auto& row : *rows) {
            if (kept(row[0])) continue;
            r.hosts.push_back(row[0]);
            r.items += std::stoull(row[1]);
        }
        found.cookies.push_back(std::move(r));
    }

    // The folders named after their sites.
    for (const char* folder : {"IndexedDB", "databases"}) {
        auto listing = files.list(profile / folder);
        if (!listing) continue;
        for (const auto& e : *listing)
            if (const auto host = folderHost(e.name); !host.empty() && kept(host))
                found.kept.insert(profile / folder / e.name);
    }

    // The storage buckets: the rows of the sites that go, the folders of those that stay.
    const fs::path quota = profile / "WebStorage" / "QuotaManager";
    found.buckets.store = quota;
    if (auto rows = formats::SqliteReader::rows(quota, "buckets", "SELECT id, host FROM buckets"); !rows) {
        found.failures.emplace_back(platform::utf8Of(quota), rows.error().message);
        found.kept.insert(profile / "WebStorage");  // which folder is whose is not known
    } else {
        std::set<std::string> gone;
        for (const auto& row : *rows) {
            if (kept(row[1])) {
                found.kept.insert(profile / "WebStorage" / row[0]);
                continue;
            }
            gone.insert(row[1]);
            ++found.buckets.items;
        }
        found.buckets.hosts.assign(gone.begin(), gone.end());
        found.kept.insert(quota);
        found.kept.insert(profile / "WebStorage" / "QuotaManager-journal");
    }

    // One store for every site: whole when a kept site is in it.
    auto inStore = [&](const fs::path& store) {
        bool any = false;
        for (const auto& host : originHosts(folderBytes(files, store))) any = kept(host) || any;
        return any;
    };
    if (inStore(profile / "File System" / "Origins")) found.kept.insert(profile / "File System");
    // The workers' registrations and scripts are one store, but their caches have a folder for
    // each site, named in its "index.txt": the other sites' caches go all the same.
    const fs::path workers = profile / "Service Worker";
    if (inStore(workers / "Database")) {
        found.kept.insert(workers / "Database");
        found.kept.insert(workers / "ScriptCache");
        if (auto caches = files.list(workers / "CacheStorage"))
            for (const auto& e : *caches)
                if (e.type == FileType::Directory && inStore(workers / "CacheStorage" / e.name))
                    found.kept.insert(workers / "CacheStorage" / e.name);
    }
    return found;
}

}  // namespace quenvor::cleaning::chromium
