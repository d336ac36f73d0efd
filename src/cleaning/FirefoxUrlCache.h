#pragma once
// The browser's cache of addresses and cookies as one list of entries: each file of Firefox's
// disk cache is an entry of the normal type named by its address, each cookie an entry of the
// cookie type named "Cookie:<user>@<host><path>". The entries of a profile whose Firefox is
// running are listed but not deleted: deleting one fails with EBUSY and the profile's name.
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
    std::vector<std::int64_t> stamp(const std::vector<FirefoxProfile>& profiles);
    void remember(const std::vector<Item>& items, std::vector<std::int64_t> stamp,
                  std::vector<std::filesystem::path> folders);

    FirefoxProfiles::Services m_s;
    platform::IProcessTable* m_processes;
    std::string m_user;
    std::map<platform::UrlCacheFind, std::pair<std::vector<Item>, std::size_t>> m_finds;
    std::vector<Item> m_known;  // what the last enumeration saw, for deletion by name
    std::unordered_map<std::string, std::vector<std::size_t>> m_byName;  // into m_known
    std::vector<std::int64_t> m_stamp;                                   // what m_known was read from
    std::vector<std::filesystem::path> m_folders;
    bool m_fresh = false;       // nothing deleted since m_known was read
    std::int64_t m_readAt = 0;  // when m_known was read, nanoseconds since the epoch
    platform::UrlCacheFind m_next = 1;
};

}  // namespace quenvor::cleaning
