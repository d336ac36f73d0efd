#pragma once
// What of one profile's cookies and site storage the keep list keeps, worked out without
// changing anything; the cleaner then removes the rest. Cookies are split by their host;
// IndexedDB and Web SQL folders are named after their sites and split by name; the storage
// buckets are rows of "WebStorage/QuotaManager" with folders named by their row. The service
// workers and the file systems keep every site in one LevelDB store each, which cannot be split
// without the browser: such a store stays whole when a kept site has anything in it (the
// workers' scripts with their registrations; their caches are split by site all the same).
// The workers' registrations name their site in their keys, but not the scripts they run: those
// are records of a version, by number, with their bodies in ScriptCache, a disk cache of files
// named by a hash of that number. Taking a site's registrations out of the store would leave its
// scripts behind, which the browser does not purge (it purges only scripts it marked for
// purging itself), and marking them means writing the browser's records, not deleting them.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/KeepList.h"
#include "platform/Result.h"

namespace quenvor::platform {
class IFileService;
}

namespace quenvor::cleaning::chromium {

class KeptSiteData {
public:
    struct Rows {
        std::filesystem::path store;
        std::vector<std::string> hosts;  // the values of the host column whose rows go
        std::uint64_t items = 0;         // how many rows those are
    };
    struct Found {
        std::vector<Rows> cookies;                                  // one per cookie store
        Rows buckets;                                               // of "WebStorage/QuotaManager"
        std::set<std::filesystem::path> kept;                       // files and folders of the site folders that stay
        std::set<std::string> keptBy;                               // keep-list entries that kept something
        std::vector<std::pair<std::string, std::string>> failures;  // what could not be read, and why
    };

    static Found find(platform::IFileService& files, const std::filesystem::path& profile,
                      const common::KeepList& keep);

    // The host a storage folder's name holds: "http_localhost_8080.indexeddb.leveldb",
    // "https_a.example_0"; empty for a name of another form.
    static std::string folderHost(const std::string& name);
    // The hosts of every "http://" or "https://" origin spelt in some bytes.
    static std::set<std::string> originHosts(const std::string& bytes);
};

}  // namespace quenvor::cleaning::chromium
