#pragma once
// What Firefox's and the Chromium family's caches share as entries of the URL cache: a walk of
// every profile taken once per enumeration, entries deleted by the names that walk saw, the
// cache folders' listings kept (with their folders held open) until their folder changes, and
// the cookie stores read as one entry of the cookie type per host and path, named
// "Cookie:<user>@<host><path>". A run's plan removes a cache folder's entries from the listing
// it holds, one step per folder, and the cookies one store at a time.
#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "platform/IFileService.h"
#include "platform/IUrlCache.h"

namespace quenvor::cleaning::common {

class PlanSink;

class BrowserUrlCache : public platform::IUrlCache {
public:
    std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override;
    std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind find) override;
    void findClose(platform::UrlCacheFind find) override;
    platform::Status deleteEntry(const std::string& sourceUrlName) override;

    // Which entries go, by name and type.
    using Pick = std::function<bool(const std::string& name, std::uint32_t type)>;
    // Removes the entries `pick` chooses from a walk taken now, through `sink`: one step per
    // cache folder (its entries counted in their browser's and profile's group; the folder's
    // other names are left to the browser's own step, see CleanPlan::cover) and one per cookie
    // store (counted by the browser's own cookie step, which takes the same rows first). What
    // could not be removed, and a running browser's profile, go to `report`.
    void planRemoval(PlanSink& sink, CleanReport* report, CleanArea area, const Pick& pick);

protected:
    // One folder of a cache as it was listed: the folder held open, its listing by name, and
    // the cache entries found in it, each with the listing's names of its files.
    struct Listing {
        struct Entry {
            std::string address;
            std::uint32_t firstFile = 0;  // into `files`
            std::uint32_t fileCount = 0;
            std::uint64_t bytes = 0;
            std::uint64_t inode = 0;  // of its first file: entries go in inode order, as `rm -r` takes them
        };
        std::filesystem::path folder;
        std::unique_ptr<platform::IDirectory> dir;
        std::vector<platform::DirectoryEntry> names;  // sorted by name
        std::vector<Entry> entries;
        std::vector<std::uint32_t> files;  // into `names`

        void add(std::string address, std::initializer_list<std::uint32_t> fileNames, std::uint64_t bytes,
                 std::uint64_t inode);
    };
    struct Cookie {
        std::string name;
        std::filesystem::path database;
        std::string table, hostColumn;
        std::string host, path;
    };
    // One profile's share of a walk.
    struct Part {
        std::string browser, profile;  // the group a plan counts its entries in
        std::string refusal;           // what a deletion refused while it runs names
        bool running = false;
        std::vector<std::shared_ptr<Listing>> folders;
        std::vector<Cookie> cookies;
    };
    // Finds the entries of a freshly listed folder.
    using ListingReader = void (*)(Listing&);

    BrowserUrlCache(platform::IFileService& files, std::string userName);

    // Every entry of every profile, as it is now.
    virtual std::vector<Part> walk() = 0;
    std::shared_ptr<Listing> folderEntries(const std::filesystem::path& folder, ListingReader read);
    void addCookies(std::vector<Cookie>& cookies, const std::filesystem::path& store, const std::string& table,
                    const std::string& hostColumn) const;

private:
    using Walk = std::shared_ptr<const std::vector<Part>>;
    struct Cursor {
        Walk walk;
        std::size_t part = 0, folder = 0, item = 0;
    };
    Walk snapshot();
    static std::optional<platform::UrlCacheEntry> next(Cursor& c);
    void removeFolder(const Listing& listing, const std::vector<std::uint32_t>& picked, CleanReport* report,
                      CleanArea area);

    platform::IFileService& m_files;
    std::string m_user;
    std::map<platform::UrlCacheFind, Cursor> m_finds;
    Walk m_known;  // what the last enumeration saw, for deletion by name
    struct Ref {
        std::size_t part;
        std::size_t folder;  // or the cookies' when past the folders
        std::size_t item;
    };
    std::unordered_map<std::string, std::vector<Ref>> m_byName;  // into m_known, made when first asked
    struct Cached {
        std::array<std::int64_t, 3> stamp;  // the folder's time, size and inode when read
        std::int64_t readAt;                // nanoseconds since the epoch
        std::shared_ptr<Listing> listing;
    };
    std::map<std::filesystem::path, Cached> m_listings;  // by cache folder, until something is deleted
    platform::UrlCacheFind m_next = 1;
};

}  // namespace quenvor::cleaning::common
