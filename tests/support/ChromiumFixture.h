#pragma once
// Small Chromium profiles on disk, with the table layout of the browser's own stores, for tests.
#include <filesystem>
#include <string>

namespace quenvor::test {

class ChromiumFixture {
public:
    // A profile that visited two pages (one bookmarked), with their icons, cookies, typed form
    // entries, a saved password and card, session files and one cached page.
    static void makeProfile(const std::filesystem::path& folder);
    // A simple-cache entry file as the browser writes it, holding `key`.
    static std::string cacheEntry(const std::string& key, const std::string& data = "<html>cached</html>");
    static void writeCacheEntry(const std::filesystem::path& cacheData, const std::string& hash,
                                const std::string& key);
    // What sites stored in the profile besides cookies, in the browser's own folder layout, with
    // the extensions' and the browser's own storage beside it.
    static void writeSiteData(const std::filesystem::path& folder);
    static constexpr const char* kSiteDataFolders[] = {"Local Storage", "Session Storage", "IndexedDB", "WebStorage",
                                                       "File System",   "Service Worker",  "databases"};
    // A "Bookmarks" file that keeps `url`.
    static std::string bookmarks(const std::string& url);
};

}  // namespace quenvor::test
