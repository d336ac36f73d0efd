#pragma once
// What Firefox keeps per site beside its history: cookies, each site's storage folder (local
// storage, IndexedDB, cache storage of service workers) with its record in the storage index
// and in the older local-storage stores, the per-site entries of permissions and content
// preferences, the certificates the user accepted for a site and the notifications it showed.
// find() says what a run would take from one profile and changes nothing; remove() takes
// exactly what find() saw. The sites of the keep list are never found, only counted as kept. The browser's own storage
// and its extensions' (moz-extension, chrome) are no site's.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "cleaning/common/KeepList.h"
#include "cleaning/firefox/FirefoxProfiles.h"

namespace quenvor::platform {
class IFileService;
}

namespace quenvor::cleaning::firefox {

class FirefoxSiteData {
public:
    struct Found {
        std::vector<std::string> cookieHosts;  // as stored (a domain cookie's leading dot kept)
        std::uint64_t cookies = 0;
        std::vector<std::filesystem::path> folders;  // storage/<repository>/<origin>
        std::uint64_t folderBytes = 0;
        std::vector<std::string> indexOrigins;                        // storage.sqlite
        std::vector<std::string> localStorageKeys;                    // webappsstore2.originKey, in both stores
        std::vector<std::string> permissionOrigins;                   // moz_perms and moz_origin_interactions
        std::vector<std::string> permissionHosts;                     // the old moz_hosts
        std::vector<std::string> prefGroups;                          // content-prefs.sqlite
        std::vector<std::string> certOverrides;                       // lines of cert_override.txt
        std::vector<std::string> notificationOrigins;                 // members of notificationstore.json
        std::uint64_t notifications = 0;                              // the records those hold
        std::set<std::string> keptBy;                                 // keep-list entries that kept something
        std::vector<std::pair<std::string, std::string>> unreadable;  // a store or folder, and why

        // The sites found, one name each, for a full list.
        std::set<std::string> sites() const;
    };

    FirefoxSiteData(platform::IFileService& files, const common::KeepList& keep) : m_files(files), m_keep(keep) {}

    Found find(const FirefoxProfile& p);
    // Failures and the account of what went go to `report`: cookies in their area, the rest as site data.
    void remove(const FirefoxProfile& p, const Found& found, common::CleanReport& report);

    // The host of a storage folder's name ("https+++example.com+8443^userContextId=1"), empty
    // for an origin that is no web site's.
    static std::string folderHost(const std::string& name);
    // The host of an origin key of local storage ("moc.elpmaxe.:https:443"), reversed back.
    static std::string originKeyHost(const std::string& key);

private:
    // True when `hostOrOrigin` is a site the list keeps, which is then counted as kept.
    bool kept(const std::string& hostOrOrigin, Found& found) const;
    void measure(const std::filesystem::path& dir, Found& found, int depth);
    void removeTree(const std::filesystem::path& dir, common::CleanReport& report, int depth);

    platform::IFileService& m_files;
    const common::KeepList& m_keep;
};

}  // namespace quenvor::cleaning::firefox
