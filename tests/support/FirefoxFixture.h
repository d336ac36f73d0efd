#pragma once
// Small Firefox profiles on disk, with the table layout of Firefox's own stores, for tests.
#include <filesystem>
#include <string>
#include <vector>

namespace quenvor::test {

class FirefoxFixture {
public:
    // Runs SQL on a database file, creating it; fails the test on error.
    static void sql(const std::filesystem::path& db, const std::string& statements);
    static std::string queryOne(const std::filesystem::path& db, const std::string& select);

    // A profile with two visited pages (one bookmarked), icons, cookies and form history.
    static void makeProfile(const std::filesystem::path& folder);
    // A disk-cache entry as Firefox writes it, for `key`, with `data` as its contents.
    static std::string cacheEntry(const std::string& key, const std::string& data, unsigned version = 3);
    static void writeCacheEntry(const std::filesystem::path& cacheFolder, const std::string& name,
                                const std::string& key, const std::string& data = "<html>cached</html>");
    // The raw bytes of a database and its write-ahead log, to look for what should be gone.
    static std::string rawBytes(const std::filesystem::path& db);
};

}  // namespace quenvor::test
