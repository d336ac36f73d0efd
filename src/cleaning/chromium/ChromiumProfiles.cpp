#include "cleaning/chromium/ChromiumProfiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "cleaning/formats/JsonValue.h"
#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"

namespace quenvor::cleaning::chromium {
namespace fs = std::filesystem;
using platform::FileType;

namespace {

struct Browser {
    const char* name;
    const char* folder;  // below the settings and the cache folder
};

// Each channel keeps a folder of its own.
constexpr Browser kBrowsers[] = {
    {"Google Chrome", "google-chrome"},
    {"Google Chrome Beta", "google-chrome-beta"},
    {"Google Chrome Dev", "google-chrome-unstable"},
    {"Chromium", "chromium"},
    {"Microsoft Edge", "microsoft-edge"},
    {"Microsoft Edge Beta", "microsoft-edge-beta"},
    {"Microsoft Edge Dev", "microsoft-edge-dev"},
    {"Brave", "BraveSoftware/Brave-Browser"},
    {"Brave Beta", "BraveSoftware/Brave-Browser-Beta"},
    {"Brave Nightly", "BraveSoftware/Brave-Browser-Nightly"},
    {"Vivaldi", "vivaldi"},
    {"Vivaldi Snapshot", "vivaldi-snapshot"},
    {"Opera", "opera"},
    {"Opera Beta", "opera-beta"},
    {"Opera Developer", "opera-developer"},
};

struct Sandboxed {
    const char* app;     // snap name or flatpak id
    const char* folder;  // one of kBrowsers' folders
};

constexpr Sandboxed kFlatpaks[] = {
    {"org.chromium.Chromium", "chromium"},    {"io.github.ungoogled_software.ungoogled_chromium", "chromium"},
    {"com.google.Chrome", "google-chrome"},   {"com.google.ChromeDev", "google-chrome-unstable"},
    {"com.microsoft.Edge", "microsoft-edge"}, {"com.brave.Browser", "BraveSoftware/Brave-Browser"},
    {"com.vivaldi.Vivaldi", "vivaldi"},       {"com.opera.Opera", "opera"},
};

constexpr Sandboxed kSnaps[] = {
    {"brave", "BraveSoftware/Brave-Browser"},
    {"opera", "opera"},
    {"vivaldi", "vivaldi"},
};

#ifdef _WIN32
// On Windows each browser keeps its folder below the local application data (Opera below the
// roaming one) and each profile's caches inside the profile.
struct WindowsBrowser {
    const char* name;
    const char* folder;
    bool roaming;
};

constexpr WindowsBrowser kWindowsBrowsers[] = {
    {"Google Chrome", "Google/Chrome/User Data", false},
    {"Google Chrome Beta", "Google/Chrome Beta/User Data", false},
    {"Google Chrome Dev", "Google/Chrome Dev/User Data", false},
    {"Google Chrome Canary", "Google/Chrome SxS/User Data", false},
    {"Chromium", "Chromium/User Data", false},
    {"Microsoft Edge", "Microsoft/Edge/User Data", false},
    {"Microsoft Edge Beta", "Microsoft/Edge Beta/User Data", false},
    {"Microsoft Edge Dev", "Microsoft/Edge Dev/User Data", false},
    {"Brave", "BraveSoftware/Brave-Browser/User Data", false},
    {"Brave Beta", "BraveSoftware/Brave-Browser-Beta/User Data", false},
    {"Vivaldi", "Vivaldi/User Data", false},
    {"Opera", "Opera Software/Opera Stable", true},
    {"Opera GX", "Opera Software/Opera GX Stable", true},
};
#endif

const char* browserOf(const std::string& folder) {
    for (const auto& b : kBrowsers)
        if (folder == b.folder) return b.name;
    return "Chromium";
}

// Local State is a few kilobytes; a file far larger is not one.
constexpr std::streamsize kMaxLocalState = 32 << 20;

std::string readSmallFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return {};
    std::string text;
    text.resize(static_cast<std::size_t>(kMaxLocalState) + 1);
    in.read(text.data(), kMaxLocalState + 1);
    const auto n = in.gcount();
    if (n > kMaxLocalState) return {};
    text.resize(static_cast<std::size_t>(n));
    return text;
}

// A name Local State gives must stay one folder inside the browser's: on Windows a backslash or
// a drive's colon leads out as well as a slash does.
bool singleFolderName(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find_first_of(std::string("/\\:\0", 4)) == std::string::npos;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ChromiumProfiles::listedProfiles(const std::string& localState) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto doc = formats::JsonValue::parse(localState);
    if (!doc) return out;
    const formats::JsonValue* profile = doc->member("profile");
    const formats::JsonValue* cache = profile ? profile->member("info_cache") : nullptr;
    if (!cache) return out;
    for (const auto& member : cache->members()) {
        const std::string& folder = member.first;
        const formats::JsonValue& info = member.second;
        if (!singleFolderName(folder)) continue;
        if (std::any_of(out.begin(), out.end(), [&](const auto& p) { return p.first == folder; })) continue;
        const formats::JsonValue* shown = info.member("name");
        out.emplace_back(folder, shown && shown->kind() == formats::JsonValue::Kind::String && !shown->text().empty()
                                     ? shown->text()
                                     : folder);
    }
    return out;
}

std::vector<ChromiumProfile> ChromiumProfiles::find() {
    struct Root {
        std::string browser;
        fs::path root, cache;
    };
    const fs::path home = m_s.folders.homeFolder();
    std::vector<Root> roots;
#ifdef _WIN32
    // configHome() is the roaming application data, cacheHome() the local one. A cache folder
    // equal to the root tells the cleaning that the caches live inside each profile.
    for (const auto& b : kWindowsBrowsers) {
        const fs::path root = (b.roaming ? m_s.folders.configHome() : m_s.folders.cacheHome()) / b.folder;
        roots.push_back({b.name, root, b.roaming ? m_s.folders.cacheHome() / b.folder : root});
    }
#endif
    for (const auto& b : kBrowsers) {
        if (const auto chrome = m_s.folders.chromeConfigHome(); !chrome.empty())
            roots.push_back({b.name, chrome / b.folder, m_s.folders.cacheHome() / b.folder});
        roots.push_back({b.name, m_s.folders.configHome() / b.folder, m_s.folders.cacheHome() / b.folder});
        roots.push_back({b.name, home / ".config" / b.folder, home / ".cache" / b.folder});
    }
    // The Chromium snap keeps its profile outside its .config.
    roots.push_back(
        {"Chromium", home / "snap/chromium/common/chromium", home / "snap/chromium/common/.cache/chromium"});
    for (const auto& s : kSnaps) {
        const fs::path snap = home / "snap" / s.app / "current";
        roots.push_back({browserOf(s.folder), snap / ".config" / s.folder, snap / ".cache" / s.folder});
    }
    for (const auto& f : kFlatpaks) {
        const fs::path app = home / ".var/app" / f.app;
        roots.push_back({browserOf(f.folder), app / "config" / f.folder, app / "cache" / f.folder});
    }

    std::vector<ChromiumProfile> found;
    std::vector<fs::path> seen;
    for (const auto& r : roots) {
        // Profile-sync tools link the whole folder elsewhere, and image-based systems link the
        // home: the folder is taken where it really is, so no link is left on the way to its
        // stores. Nothing inside it is followed.
        std::error_code ec;
        if (!fs::is_directory(r.root, ec)) continue;
        const fs::path root = fs::canonical(r.root, ec);
        if (ec) continue;
        if (std::find(seen.begin(), seen.end(), root) != seen.end()) continue;
        seen.push_back(root);
        auto listing = m_s.files.list(root);
        if (!listing) continue;
        std::vector<std::pair<std::string, std::string>> names = listedProfiles(readSmallFile(root / "Local State"));
        std::sort(listing->begin(), listing->end(), [](const auto& a, const auto& b) { return a.name < b.name; });
        // A cache folder equal to the root says the caches live inside each profile; it is taken
        // from the resolved root itself, so the two can never differ only in how they are spelt
        // (which would make the whole browser folder read as cache).
        const fs::path cache = r.cache == r.root ? root : r.cache.lexically_normal();
        for (const auto& e : *listing) {
            const bool numbered =
                e.name.rfind("Profile ", 0) == 0 && e.name.size() > 8 &&
                std::all_of(e.name.begin() + 8, e.name.end(), [](char c) { return c >= '0' && c <= '9'; });
            // A guest's session keeps the same stores until the guest window closes (and after a
            // crash); the system profile behind the profile picker holds none of the user's.
            if (e.name != "Default" && e.name != "Guest Profile" && !numbered) continue;
            if (std::none_of(names.begin(), names.end(), [&](const auto& n) { return n.first == e.name; }))
                names.emplace_back(e.name, e.name);
        }
        // Opera keeps its one profile in the browser's folder itself, beside "Local State".
        for (const char* store : {"History", "Preferences"})
            if (auto st = m_s.files.status(root / store); st && st->type == FileType::Regular) {
                found.push_back({r.browser, "Default", root, root, cache, cache});
                break;
            }
        for (const auto& [folder, shown] : names) {
            if (folder == "System Profile") continue;
            // Only a real folder that holds a profile's files counts: a name in Local State cannot
            // lead the run anywhere else.
            auto st = m_s.files.status(root / folder);
            if (!st || st->type != FileType::Directory) continue;
            bool looksLikeProfile = false;
            for (const char* marker : {"Preferences", "History", "Cookies", "Network", "Web Data"})
                if (auto m = m_s.files.status(root / folder / marker); m && m->type != FileType::NotFound)
                    looksLikeProfile = true;
            if (!looksLikeProfile) continue;
            found.push_back({r.browser, shown, root, root / folder, cache / folder, cache});
        }
    }
    return found;
}

}  // namespace quenvor::cleaning::chromium
