#include "cleaning/firefox/FirefoxUrlCache.h"

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

void FirefoxUrlCache::entriesIn(Listing& listing) {
    for (std::uint32_t i = 0; i < listing.names.size(); ++i) {
        const auto& e = listing.names[i];
        if (e.type != FileType::Regular) continue;
        auto file = formats::EntryFile::openIn(*listing.dir, e.name);
        if (!file) continue;
        const auto facts = file->facts();
        const auto key = CacheEntryKey::read(*file);
        file.reset();
        if (!key) continue;
        std::string address = CacheEntryKey::address(*key);
        if (address.empty()) continue;
        listing.add(std::move(address), {i}, facts.size, facts.inode);
    }
}

std::vector<FirefoxUrlCache::Part> FirefoxUrlCache::walk() {
    std::vector<Part> parts;
    for (const auto& p : FirefoxProfiles(m_s).find()) {
        Part part{"Firefox", p.name, p.name, FirefoxProfiles::running(p, m_processes), {}, {}};
        // A cache folder linked elsewhere is not followed (the cache step names it).
        const auto folder = p.cacheFolder / "cache2" / "entries";
        auto linked = [&](const std::filesystem::path& f) {
            auto st = m_s.files.status(f);
            return st && st->type == FileType::Symlink;
        };
        if (!linked(folder.parent_path()) && !linked(folder)) part.folders.push_back(folderEntries(folder, entriesIn));
        addCookies(part.cookies, p.folder / "cookies.sqlite", "moz_cookies", "host");
        parts.push_back(std::move(part));
    }
    return parts;
}

}  // namespace quenvor::cleaning::firefox
