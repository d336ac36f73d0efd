#pragma once
// The Chromium-family browsers' cache of addresses and cookies as entries of the URL cache:
// each entry of a profile's disk cache is an entry of the normal type named by its address,
// each cookie host and path an entry of the cookie type named "Cookie:<user>@<host><path>".
// The entries of a running browser's profiles are listed but not deleted: deleting one fails
// with EBUSY and a name that holds the browser's and the profile's (see splitBusyName).
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cleaning/ChromiumProfiles.h"
#include "platform/IUrlCache.h"

namespace quenvor::platform {
class IProcessTable;
struct PlatformServices;
}  // namespace quenvor::platform

namespace quenvor::cleaning {

class ChromiumUrlCache : public platform::IUrlCache {
public:
    ChromiumUrlCache(ChromiumProfiles::Services s, platform::IProcessTable* processes, std::string userName);
    static std::unique_ptr<ChromiumUrlCache> fromServices(const platform::PlatformServices& services);

    std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override;
    std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind find) override;
    void findClose(platform::UrlCacheFind find) override;
    platform::Status deleteEntry(const std::string& sourceUrlName) override;

    // The key a simple-cache entry file ("<hash>_0") was stored under, read from its header
    // alone; nothing for a file that is not such an entry.
    static std::optional<std::string> entryKey(const std::filesystem::path& entryFile);
    static std::optional<std::string> parseEntryKey(std::string_view head, std::uint64_t fileSize);
    // The address in a key, without the partition tags before it ("1/0/_dk_<site> <site> ").
    static std::string address(const std::string& key);
    // The name a refused deletion gives, and the browser and profile back from it; false for a
    // name that is not one (a Firefox profile's).
    static std::string busyName(const std::string& browser, const std::string& profile);
    static bool splitBusyName(const std::string& name, std::string& browser, std::string& profile);

private:
    struct Item {
        platform::UrlCacheEntry entry;
        std::vector<std::filesystem::path> files;  // a cache entry's files ("_0" first)
        std::filesystem::path database;            // or the cookie store holding the cookie
        std::string host, path;
        std::string profile;  // its busyName()
        bool running = false;
    };
    std::vector<Item> snapshot();
    std::vector<Item> entriesIn(const std::filesystem::path& cacheData);

    ChromiumProfiles::Services m_s;
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
