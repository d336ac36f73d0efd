#pragma once
// The browser's cache of addresses and cookies as one list of entries: each file of Firefox's
// disk cache is an entry of the normal type named by its address, each cookie an entry of the
// cookie type named "Cookie:<user>@<host><path>". The entries of a profile whose Firefox is
// running are listed but not deleted: deleting one fails with EBUSY and the profile's name.
#include <memory>
#include <string>
#include <vector>

#include "cleaning/common/BrowserUrlCache.h"
#include "cleaning/firefox/FirefoxProfiles.h"

namespace quenvor::platform {
class IProcessTable;
struct PlatformServices;
}  // namespace quenvor::platform

namespace quenvor::cleaning::firefox {

class FirefoxUrlCache : public common::BrowserUrlCache {
public:
    FirefoxUrlCache(FirefoxProfiles::Services s, platform::IProcessTable* processes, std::string userName);
    // The cache of the services' user, or nothing when a service it reads through is missing.
    static std::unique_ptr<FirefoxUrlCache> fromServices(const platform::PlatformServices& services);

private:
    std::vector<Part> walk() override;
    static void entriesIn(Listing& listing);

    FirefoxProfiles::Services m_s;
    platform::IProcessTable* m_processes;
};

}  // namespace quenvor::cleaning::firefox
