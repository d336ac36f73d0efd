#pragma once
// Every Firefox profile of the user: the folders that hold a "profiles.ini" (the XDG place
// named by the "AppData" folder, the classic ~/.mozilla, snap and flatpak, and LibreWolf's and
// Waterfox's folders), every profile each lists, its folder and its disk-cache folder.
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quenvor::platform {
class IProcessTable;
class IFileService;
class IKnownFolders;
class IProfileReader;
class IRegistry;
}  // namespace quenvor::platform

namespace quenvor::cleaning::firefox {

struct FirefoxProfile {
    std::string name;                   // as profiles.ini names it
    std::filesystem::path folder;       // where places.sqlite, cookies.sqlite... live
    std::filesystem::path cacheFolder;  // holds "cache2" (and the old "Cache")
};

class FirefoxProfiles {
public:
    struct Services {
        platform::IRegistry& registry;
        platform::IProfileReader& profiles;
        platform::IFileService& files;
        platform::IKnownFolders& folders;
    };
    explicit FirefoxProfiles(Services s) : m_s(s) {}

    std::vector<FirefoxProfile> find();
    // The profile lists the last find() saw but could not read, with the system's words: the
    // profiles they name were not found, so a run must not claim to have cleaned them.
    const std::vector<std::pair<std::filesystem::path, std::string>>& unreadable() const { return m_unreadable; }
    // The folders a profile list names that are not taken as profiles (a link leading out of
    // the home, "/", a folder holding none of Firefox's files), with why: reported, never cleaned.
    const std::vector<std::pair<std::filesystem::path, std::string>>& skipped() const { return m_skipped; }
    // "Path" as profiles.ini stores it, joined the way Firefox does: relative to the
    // Firefox folder unless IsRelative is 0; either separator accepted.
    static std::filesystem::path join(const std::filesystem::path& base, const std::string& path, bool relative);
    // True while a Firefox holds the profile's lock (a lock file left by an ended one does not count).
    static bool running(const FirefoxProfile& p, platform::IProcessTable* processes);

private:
    std::optional<std::string> refusal(FirefoxProfile& p, bool& absent);
    bool mayLeadTo(const std::filesystem::path& target);

    Services m_s;
    std::vector<std::pair<std::filesystem::path, std::string>> m_unreadable;
    std::vector<std::pair<std::filesystem::path, std::string>> m_skipped;
};

}  // namespace quenvor::cleaning::firefox
