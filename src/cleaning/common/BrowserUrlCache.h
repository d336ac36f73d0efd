#pragma once
// What Firefox's and the Chromium family's caches share as entries of the URL cache: a walk of
// every profile taken once per enumeration, entries deleted by the names that walk saw, the
// cache folders' listings kept until their folder changes, and the cookie stores read as one
// entry of the cookie type per host and path, named "Cookie:<user>@<host><path>".
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/IFileService.h"
#include "platform/IUrlCache.h"

namespace quenvor::cleaning::common {

class BrowserUrlCache : public platform::IUrlCache {
public:
    std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override;
    std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind find) override;
    void findClose(platform::UrlCacheFind find) override;
    platform::Status deleteEntry(const std::string& sourceUrlName) override;

protected:
    struct Item {
        platform::UrlCacheEntry entry;
        std::vector<std::filesystem::path> files;  // a cache entry's files
        std::filesystem::path database;            // or the cookie store holding the cookie
        std::string table, hostColumn;             // and where in it
        std::string host, path;
        std::string profile;  // what a refused deletion names
        bool running = false;
    };
    // The entries of one cache folder from its listing, sorted by name.
    using ListingReader =
        std::function<std::vector<Item>(const std::filesystem::path&, const std::vector<platform::DirectoryEntry>&)>;

    BrowserUrlCache(platform::IFileService& files, std::string userName);

    // Every entry of every profile, as it is now.
    virtual std::vector<Item> walk() = 0;
    std::vector<Item> folderEntries(const std::filesystem::path& folder, const ListingReader& read);
    void addCookies(std::vector<Item>& items, const std::filesystem::path& store, const std::string& table,
                    const std::string& hostColumn) const;

private:
    std::vector<Item> snapshot();

    platform::IFileService& m_files;
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

}  // namespace quenvor::cleaning::common
