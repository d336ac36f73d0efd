#include "cleaning/firefox/FirefoxUrlCache.h"

#include <iterator>

#include "cleaning/firefox/CacheEntryKey.h"
#include "platform/IFileService.h"
#include "platform/IProcessTable.h"
#include "platform/PlatformServices.h"

namespace quenvor::cleaning::firefox {

using platform::FileType;

FirefoxUrlCache::FirefoxUrlCache(FirefoxProfiles::Services s, platform::IProcessTable* processes, std::string userName)
    : common::BrowserUrlCache(s.files, std::move(userName)), m_s(s), m_processes(processes) {}

std::unique_ptr<FirefoxUrlCache> FirefoxUrlCache::fromServices(const platform::PlatformServices& s) {
    if (!s.registry || !s.profiles || !s.files || !s.folders) return nullptr;
    const std::string user = s.processes ? s.processes->currentUserName() : std::string();
    return std::make_unique<FirefoxUrlCache>(FirefoxProfiles::Services{*s.registry, *s.profiles, *s.files, *s.folders},
                                             s.processes, user);
}

std::vector<FirefoxUrlCache::Item> FirefoxUrlCache::entriesIn(const std::filesystem::path& entries,
                                                              const std::vector<platform::DirectoryEntry>& listing) {
    std::vector<Item> items;
    for (const auto& e : listing) {
        if (e.type != FileType::Regular) continue;
        const auto key = CacheEntryKey::read(entries / e.name);
        if (!key) continue;
        std::string address = CacheEntryKey::address(*key);
        if (address.empty()) continue;
        Item item;
        item.entry = {std::move(address), platform::kNormalCacheEntry};
        item.files.push_back(entries / e.name);
        items.push_back(std::move(item));
    }
    return items;
}

std::vector<FirefoxUrlCache::Item> FirefoxUrlCache::walk() {
    std::vector<Item> items;
    for (const auto& p : FirefoxProfiles(m_s).find()) {
        const bool running = FirefoxProfiles::running(p, m_processes);
        const auto first = items.size();
        // A cache folder linked elsewhere is not followed (the cache step names it).
        const auto folder = p.cacheFolder / "cache2" / "entries";
        auto linked = [&](const std::filesystem::path& f) {
            auto st = m_s.files.status(f);
            return st && st->type == FileType::Symlink;
        };
        auto entries =
            linked(folder.parent_path()) || linked(folder) ? std::vector<Item>{} : folderEntries(folder, entriesIn);
        items.insert(items.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
        addCookies(items, p.folder / "cookies.sqlite", "moz_cookies", "host");
        for (auto i = first; i < items.size(); ++i) {
            items[i].profile = p.name;
            items[i].running = running;
        }
    }
    return items;
}

}  // namespace quenvor::cleaning::firefox
