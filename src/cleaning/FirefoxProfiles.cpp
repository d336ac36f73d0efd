#include "cleaning/FirefoxProfiles.h"

#include <algorithm>

#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/IProcessTable.h"
#include "platform/IRegistry.h"
#include "platform/IniProfileReader.h"
#include "platform/Utf8Path.h"
#include "platform/cRegistry.h"

namespace quenvor::cleaning {
namespace fs = std::filesystem;

std::filesystem::path FirefoxProfiles::join(const fs::path& base, const std::string& path, bool relative) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    if (!relative) return platform::pathFromUtf8(p).lexically_normal();
    while (!p.empty() && p.front() == '/') p.erase(p.begin());
    return (base / platform::pathFromUtf8(p)).lexically_normal();
}

bool FirefoxProfiles::running(const FirefoxProfile& p, platform::IProcessTable* processes) {
    return processes && processes->lockedByAnother(p.folder / ".parentlock");
}

std::vector<FirefoxProfile> FirefoxProfiles::find() {
    auto shellFolder = [&](const char* name) {
        platform::cRegistry reg(m_s.registry);
        reg.setClassKey(static_cast<std::int32_t>(platform::kCurrentUser));
        reg.setSectionKey(platform::kShellFoldersKey);
        reg.setValueKey(name);
        return platform::toText(reg.Value());
    };
    const fs::path home = m_s.folders.homeFolder();
    struct Root {
        fs::path firefox, cache;
    };
    const std::vector<Root> roots = {
        {platform::pathFromUtf8(shellFolder("AppData")) / "mozilla/firefox",
         platform::pathFromUtf8(shellFolder("Local AppData")) / "mozilla/firefox"},
        {home / ".mozilla/firefox", m_s.folders.cacheHome() / "mozilla/firefox"},
        {home / "snap/firefox/common/.mozilla/firefox", home / "snap/firefox/common/.cache/mozilla/firefox"},
        {home / ".var/app/org.mozilla.firefox/.mozilla/firefox",
         home / ".var/app/org.mozilla.firefox/.cache/mozilla/firefox"},
        // Firefox's kin keep the same layout in folders of their own.
        {home / ".librewolf", m_s.folders.cacheHome() / "librewolf"},
        {home / ".var/app/io.gitlab.librewolf-community/.librewolf",
         home / ".var/app/io.gitlab.librewolf-community/cache/librewolf"},
        {home / ".waterfox", m_s.folders.cacheHome() / "waterfox"},
        {home / ".var/app/net.waterfox.waterfox/.waterfox", home / ".var/app/net.waterfox.waterfox/cache/waterfox"},
    };
    std::vector<FirefoxProfile> found;
    std::vector<fs::path> seenRoots;
    m_unreadable.clear();
    for (const auto& root : roots) {
        const fs::path ini = root.firefox / "profiles.ini";
        auto st = m_s.files.status(ini);
        if (!st || st->type != platform::FileType::Regular) continue;
        const fs::path canonical = root.firefox.lexically_normal();
        if (std::find(seenRoots.begin(), seenRoots.end(), canonical) != seenRoots.end()) continue;
        seenRoots.push_back(canonical);
        const auto sections = platform::IniProfileReader::sections(ini);
        if (!sections) {
            m_unreadable.emplace_back(ini, sections.error().message);
            continue;
        }
        for (const auto& section : *sections) {
            if (section.size() < 8 || section.compare(0, 7, "Profile") != 0) continue;
            std::string path, isRelative, name;
            if (m_s.profiles.read(section, "Path", "", path, ini) == 0) continue;
            m_s.profiles.read(section, "IsRelative", "1", isRelative, ini);
            m_s.profiles.read(section, "Name", section, name, ini);
            const bool relative = isRelative != "0";
            FirefoxProfile p;
            p.name = name;
            p.folder = join(root.firefox, path, relative);
            // A profile kept elsewhere keeps its cache inside itself.
            p.cacheFolder = relative ? join(root.cache, path, true) : p.folder;
            if (std::none_of(found.begin(), found.end(), [&](const auto& f) { return f.folder == p.folder; }))
                found.push_back(p);
        }
    }
    return found;
}

}  // namespace quenvor::cleaning
