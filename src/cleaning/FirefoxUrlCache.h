#pragma once
// The browser's cache of addresses and cookies as one list of entries: each file of Firefox's
// disk cache is an entry of the normal type named by its address, each cookie an entry of the
// cookie type named "Cookie:<user>@<host><path>". The entries of a profile whose Firefox is
// running are listed but not deleted: deleting one fails with EBUSY and the profile's name.
#include <array>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cleaning/FirefoxProfiles.h"
#include "platform/IUrlCache.h"

namespace quenvor::platform {
class IProcessTable;
struct PlatformServices;
}  // namespace quenvor::platform

namespace quenvor::cleaning {

class FirefoxUrlCache : public platform::IUrlCache {
public:
    FirefoxUrlCache(FirefoxProfiles::Services s, platform::IProcessTable* processes, std::string userName);
    // The cache of the services' user, or nothing when a service it reads through is missing.
    static std::unique_ptr<FirefoxUrlCache> fromServices(const platform::PlatformServices& services);

    std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override;
    std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind find) override;
    void findClose(platform::UrlCacheFind find) override;
    platform::Status deleteEntry(const std::string& sourceUrlName) override;

private:
    struct Item {
        platform::UrlCacheEntry entry;
        std::filesystem::path file;      // a cache entry's file
        std::filesystem::path database;  // or the cookie store holding the cookie
        std::string host, path;
        std::string profile;
        bool running = false;
    };
    std::vector<Item> snapshot();
    std::vector<Item> entriesIn(const std::filesystem::path& entries);

    FirefoxProfiles::Services m_s;
    platform::IProcessTable* m_processes;
    std::string m_user;
    std::map<platform::UrlCacheFind, std::pair<std::vector<Item>, std::size_t>> m_finds;
    std::vector<Item> m_known;  // what the last enumeration saw, for deletion by name
    std::unordered_map<std::string, std::vector<std::size_t>> m_byName;  // into m_known
    struct Listing {
        std::array<std::int64_t, 3> stamp;  // the folder's time, size and inode when read
        std::int64_t readAt;                // nanoseconds since the epoch
        std::vector<Item> items;
    };
    std::map<std::filesystem::path, Listing> m_listings;  // by cache folder, until something is deleted
    platform::UrlCacheFind m_next = 1;
};

}  // namespace quenvor::cleaning
