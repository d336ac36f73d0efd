#pragma once
// The Chromium-family browsers' cache of addresses and cookies as entries of the URL cache:
// each entry of a profile's disk cache is an entry of the normal type named by its address,
// each cookie host and path an entry of the cookie type named "Cookie:<user>@<host><path>".
// The entries of a running browser's profiles are listed but not deleted: deleting one fails
// with EBUSY and a name that holds the browser's and the profile's (see splitBusyName).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cleaning/chromium/ChromiumProfiles.h"
#include "cleaning/common/BrowserUrlCache.h"
#include "cleaning/formats/EntryFile.h"

namespace quenvor::platform {
class IProcessTable;
struct PlatformServices;
}  // namespace quenvor::platform

namespace quenvor::cleaning::chromium {

class ChromiumUrlCache : public common::BrowserUrlCache {
public:
    ChromiumUrlCache(ChromiumProfiles::Services s, platform::IProcessTable* processes, std::string userName);
    static std::unique_ptr<ChromiumUrlCache> fromServices(const platform::PlatformServices& services);

    // The key a simple-cache entry file ("<hash>_0") was stored under, read from its header
    // alone; nothing for a file that is not such an entry. With `facts`, the file's size and
    // inode too.
    static std::optional<std::string> entryKey(const std::filesystem::path& entryFile,
                                               formats::EntryFile::Facts* facts = nullptr);
    static std::optional<std::string> entryKey(formats::EntryFile& entryFile);
    static std::optional<std::string> parseEntryKey(std::string_view head, std::uint64_t fileSize);
    // The address in a key, without the partition tags before it ("1/0/_dk_<site> <site> ").
    static std::string address(const std::string& key);
    // The name a refused deletion gives, and the browser and profile back from it; false for a
    // name that is not one (a Firefox profile's).
    static std::string busyName(const std::string& browser, const std::string& profile);
    static bool splitBusyName(const std::string& name, std::string& browser, std::string& profile);

private:
    std::vector<Part> walk() override;
    static void entriesIn(Listing& listing);

    ChromiumProfiles::Services m_s;
    platform::IProcessTable* m_processes;
};

}  // namespace quenvor::cleaning::chromium
