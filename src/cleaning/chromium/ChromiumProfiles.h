#pragma once
// Every profile of the Chromium-family browsers the user has: the browsers' folders in each form
// they are installed in (the desktop's settings folder or $CHROME_CONFIG_HOME, snap, flatpak),
// every profile each holds ("Default", "Profile N", "Guest Profile" and those "Local State" lists,
// never the picker's "System Profile"), its folder and the folder its disk cache is kept in.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quenvor::platform {
class IFileService;
class IKnownFolders;
}  // namespace quenvor::platform

namespace quenvor::cleaning::chromium {

struct ChromiumProfile {
    std::string browser;                // "Google Chrome", "Brave"...
    std::string name;                   // as the browser shows it, else its folder's name
    std::filesystem::path root;         // the browser's folder: "Local State", "SingletonLock"
    std::filesystem::path folder;       // History, Cookies, Web Data...
    std::filesystem::path cacheFolder;  // the same profile below the cache root (may not exist)
    std::filesystem::path cacheRoot;    // the browser's folder below the user's cache folder
};

class ChromiumProfiles {
public:
    struct Services {
        platform::IFileService& files;
        platform::IKnownFolders& folders;
    };
    explicit ChromiumProfiles(Services s) : m_s(s) {}

    std::vector<ChromiumProfile> find();
    // The folder names and shown names "Local State" gives its profiles; only names that are a
    // single folder inside the browser's folder are kept.
    static std::vector<std::pair<std::string, std::string>> listedProfiles(const std::string& localState);

private:
    Services m_s;
};

}  // namespace quenvor::cleaning::chromium
