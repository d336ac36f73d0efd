#pragma once
// The smaller records of sites Firefox keeps beside its main stores, each cleaned with the step
// it belongs to: the sites that bounced the browser on through redirects (history), the sites
// that answer on other ports or protocols (cache) and the sites that asked to be reached only
// securely (site data, as Firefox itself forgets them with a site). find() says what one step
// would take from a profile and changes nothing; remove() takes exactly that.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "cleaning/firefox/FirefoxProfiles.h"

namespace quenvor::platform {
class IFileService;
}

namespace quenvor::cleaning::firefox {

class FirefoxSiteFiles {
public:
    struct Found {
        common::CleanArea area = common::CleanArea::History;
        std::vector<std::pair<std::filesystem::path, std::uint64_t>> files;  // with their sizes
        std::vector<std::string> bounceSites;                                // as stored
        std::vector<std::pair<std::string, std::string>> unreadable;         // a store, and why
    };

    explicit FirefoxSiteFiles(platform::IFileService& files) : m_files(files) {}

    // For the step of `area` (History, Cache or SiteData; nothing for another).
    Found find(const FirefoxProfile& p, common::CleanArea area);
    void remove(const FirefoxProfile& p, const Found& found, common::CleanReport& report);

private:
    platform::IFileService& m_files;
};

}  // namespace quenvor::cleaning::firefox
