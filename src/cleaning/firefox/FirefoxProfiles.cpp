#include "cleaning/firefox/FirefoxProfiles.h"

#include <algorithm>
#include <cwctype>
#include <optional>
#include <set>

#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/IProcessTable.h"
#include "platform/IRegistry.h"
#include "platform/IniProfileReader.h"
#include "platform/Utf8Path.h"
#include "platform/cRegistry.h"

namespace quenvor::cleaning::firefox {
namespace fs = std::filesystem;

namespace {

bool inside(const fs::path& p, const fs::path& folder) {
    const auto rel = p.lexically_normal().lexically_relative(folder.lexically_normal());
    return !rel.empty() && *rel.begin() != "..";
}

// One spelling per folder: Windows names a folder the same whatever the case of its letters.
fs::path spelling(const fs::path& p) {
#ifdef _WIN32
    std::wstring text = p.lexically_normal().native();
    for (auto& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return fs::path(text);
#else
    return p.lexically_normal();
#endif
}

fs::path resolved(const fs::path& p) {
    std::error_code ec;
    auto r = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : r;
}

}  // namespace

// Where a linked profile or cache folder may lead: the user's own home, or the user's own
// runtime folder, where profile-sync tools keep profiles in memory.
bool FirefoxProfiles::mayLeadTo(const fs::path& target) {
    const fs::path home = resolved(m_s.folders.homeFolder());
    if (inside(target, home)) return true;
    const auto owner = m_s.files.status(home);
    return owner && inside(target, fs::path("/run/user") / std::to_string(owner->ownerId));
}

// What keeps a listed folder from being cleaned as a profile, or nothing. A profile list can name
// any folder: only a real folder holding Firefox's files is touched, and a link only where
// mayLeadTo allows.
std::optional<std::string> FirefoxProfiles::refusal(FirefoxProfile& p, bool& absent) {
    absent = false;
    const fs::path home = m_s.folders.homeFolder();
    const auto st = m_s.files.status(p.folder);
    if (!st || st->type == platform::FileType::NotFound) {
        absent = true;
        return std::nullopt;
    }
    if (st->type == platform::FileType::Symlink) {
        const fs::path target = resolved(p.folder);
        if (!mayLeadTo(target)) return "a link to a folder outside the home";
        auto t = m_s.files.status(target);
        if (!t || t->type != platform::FileType::Directory) return "a link to something that is not a folder";
        if (p.cacheFolder == p.folder) p.cacheFolder = target;
        p.folder = target;
    } else if (st->type != platform::FileType::Directory) {
        return "not a folder";
    }
    if (p.cacheFolder != p.folder) {
        if (auto c = m_s.files.status(p.cacheFolder); c && c->type == platform::FileType::Symlink) {
            const fs::path target = resolved(p.cacheFolder);
            if (!mayLeadTo(target)) return "its cache folder is a link to a folder outside the home";
            p.cacheFolder = target;
        }
    }
    const fs::path real = resolved(p.folder);
    if (real == real.root_path() || real == resolved(home)) return "not a profile folder";
    auto listing = m_s.files.list(p.folder);
    if (!listing) return listing.error().message;
    // A profile Firefox has not filled yet holds nothing to remove; its cache still goes.
    if (listing->empty()) return std::nullopt;
    // What Firefox itself writes together: its history store, or its settings beside the record
    // of when the profile was made or last opened. A single name a user may give a file of their
    // own ("cookies.txt", a "Cache" folder) never makes an ordinary folder a profile.
    std::set<std::string> names;
    for (const auto& e : *listing)
        if (e.type == platform::FileType::Regular) names.insert(e.name);
    if (names.contains("places.sqlite")) return std::nullopt;
    if (names.contains("prefs.js") && (names.contains("times.json") || names.contains("compatibility.ini")))
        return std::nullopt;
    return "not a profile folder";
}

std::filesystem::path FirefoxProfiles::join(const fs::path& base, const std::string& path, bool relative) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    if (!relative) return platform::pathFromUtf8(p).lexically_normal();
    while (!p.empty() && p.front() == '/') p.erase(p.begin());
    return (base / platform::pathFromUtf8(p)).lexically_normal();
}

bool FirefoxProfiles::running(const FirefoxProfile& p, platform::IProcessTable* processes) {
    // Firefox locks ".parentlock" on Unix and holds "parent.lock" open unshared on Windows.
    return processes && (processes->lockedByAnother(p.folder / ".parentlock") ||
                         processes->lockedByAnother(p.folder / "parent.lock"));
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
#ifdef _WIN32
        // Where Firefox itself asks for on Windows; the registry's copy below may be missing.
        {m_s.folders.configHome() / "Mozilla/Firefox", m_s.folders.cacheHome() / "Mozilla/Firefox"},
#endif
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
    m_skipped.clear();
    for (const auto& root : roots) {
        const fs::path ini = root.firefox / "profiles.ini";
        auto st = m_s.files.status(ini);
        if (!st || st->type != platform::FileType::Regular) continue;
        const fs::path canonical = spelling(root.firefox);
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
            // A profile kept elsewhere keeps its cache inside itself; a relative one keeps it
            // below the cache root, never above it.
            p.cacheFolder = relative ? join(root.cache, path, true) : p.folder;
            if (relative && (!inside(p.folder, root.firefox) || !inside(p.cacheFolder, root.cache))) {
                m_skipped.emplace_back(p.folder, "a profile path that leaves the Firefox folder");
                continue;
            }
            bool absent = false;
            if (auto why = refusal(p, absent)) {
                m_skipped.emplace_back(p.folder, *why);
                continue;
            }
            if (absent) continue;
            if (std::none_of(found.begin(), found.end(),
                             [&](const auto& f) { return spelling(f.folder) == spelling(p.folder); }))
                found.push_back(p);
        }
    }
    return found;
}

}  // namespace quenvor::cleaning::firefox
