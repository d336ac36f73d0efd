#include "cleaning/desktop/cCleanInternet.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <set>

#include "cleaning/desktop/LibreOfficeRecent.h"
#include "cleaning/desktop/RegistryTraces.h"
#include "cleaning/desktop/ThumbnailCache.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/IProcessTable.h"
#include "platform/IRegistry.h"
#include "platform/IUrlHistory.h"
#include "platform/RaisedError.h"
#include "platform/Utf8Path.h"
#include "shredder/cRecurse.h"

namespace quenvor::cleaning::desktop {

using platform::FileType;
namespace fs = std::filesystem;
using platform::RegKey;

namespace {

constexpr const char* kEmptyXbel =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "</xbel>\n";

// A file this young may belong to a program that is starting or that opens it only now and then.
constexpr std::int64_t kTempSafetyAgeNs = std::int64_t{3600} * 1'000'000'000;

// Names that running programs keep in the temporary folder without holding them open: display
// locks and sockets, authority files, ticket caches, agents' and services' private folders.
bool keptByLivePrograms(const std::string& name) {
    static const char* const prefixes[] = {"krb5cc_", "xauth",  ".Xauthority", "ssh-",      "systemd-private-",
                                           "tmux-",   "pulse-", "dbus-",       ".ICE-unix", ".X11-unix"};
    for (const char* p : prefixes)
        if (name.rfind(p, 0) == 0) return true;
    // .X0-lock, .X99-lock
    return name.size() > 7 && name.rfind(".X", 0) == 0 && name.compare(name.size() - 5, 5, "-lock") == 0;
}

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string cCleanInternet::ReadStringValue(std::uintptr_t root, const std::string& subKey, const std::string& name,
                                            const std::string& fallback) {
    RegKey key = 0;
    if (m_s.registry.openKey(root, subKey, key) != platform::kErrorSuccess) return fallback;
    // No fixed buffer: a long folder path is read whole.
    std::uint32_t type = 0, size = 0;
    std::vector<std::uint8_t> data;
    long rc = m_s.registry.queryValue(key, name, type, data, size);
    if (rc == platform::kErrorMoreData) rc = m_s.registry.queryValue(key, name, type, data, size);
    (void)m_s.registry.closeKey(key);  // what was read is read; the handle has nothing more to say
    if (rc != platform::kErrorSuccess) return fallback;
    std::string text(data.begin(),
                     data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(size, data.size())));
    if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
    return text;
}

bool cCleanInternet::CreateRegKey(std::uintptr_t root, const std::string& subKey) {
    RegKey key = 0;
    bool existed = false;
    if (m_s.registry.createKey(root, subKey, key, &existed) != platform::kErrorSuccess)
        throw platform::RaisedError(kErrCreateKey, platform::errorSource("cCleanInternet"),
                                    "Unable to create the registry key");
    (void)m_s.registry.closeKey(key);  // the key is made; the handle has nothing more to say
    return existed;
}

// A key that is not there is already clean; any other refusal leaves its values in place.
bool cCleanInternet::DeleteRegKey(std::uintptr_t root, const std::string& subKey, common::CleanArea area) {
    const long rc = m_s.registry.deleteKey(root, subKey);
    if (rc == platform::kErrorSuccess || rc == platform::kErrorFileNotFound) return true;
    m_report.fail(area, subKey, RegistryTraces::reason(rc));
    return false;
}

// The key is made again empty; when that fails the raised error tells the run. The times of the
// same addresses go with them, counted as no entries of their own.
void cCleanInternet::CleanTypedUrls() {
    RegistryTraces traces(m_s.registry, m_report, common::CleanArea::TypedUrls);
    const auto typed = traces.find(platform::kCurrentUser, kTypedUrlsKey);
    if (DeleteRegKey(platform::kCurrentUser, kTypedUrlsKey, common::CleanArea::TypedUrls) && typed.exists)
        m_report.removed(common::CleanArea::TypedUrls, typed.items, typed.bytes);
    auto times = traces.find(platform::kCurrentUser, kTypedUrlsTimeKey);
    times.items = 0;
    traces.removeKey(platform::kCurrentUser, times);
    (void)CreateRegKey(platform::kCurrentUser, kTypedUrlsKey);  // whether it existed does not matter here
}

void cCleanInternet::CleanFormData() {
    DeleteRegKey(platform::kCurrentUser, kFormDataKey, common::CleanArea::FormData);
}

void cCleanInternet::ClearInternetHistory() {
    // A system without a history service has nothing to clear there.
    if (m_s.history) {
        if (auto s = m_s.history->clearHistory(); !s) m_report.fail(common::CleanArea::History, "", s.error().message);
    }
    const std::string folder =
        ReadStringValue(platform::kCurrentUser, platform::kShellFoldersKey, "History", std::string());
    purge(folder, common::CleanArea::History, PurgeRule::AnyFile);
}

void cCleanInternet::CleanRecentFilesMenu() {
    const std::string folder =
        ReadStringValue(platform::kCurrentUser, platform::kShellFoldersKey, "Recent", std::string());
    purge(folder, common::CleanArea::Recent, PurgeRule::AnyFile);
    // Every value and subkey: the numbered entries and MRUListEx Windows writes, the subkey of
    // each file type with its own, and the lettered ones of older systems.
    RegistryTraces recentDocs(m_s.registry, m_report, common::CleanArea::Recent);
    recentDocs.removeContents(platform::kCurrentUser, recentDocs.find(platform::kCurrentUser, kRecentDocsKey));
    emptyDesktopRecentList();
    ThumbnailCache(m_s.files, m_s.folders, m_report).clear();
    LibreOfficeRecent(m_s.files, m_s.folders, m_s.processes, m_report).clear();
}

void cCleanInternet::emptyDesktopRecentList() {
    // Desktop programs read and rewrite this list: leave it valid and empty, never missing.
    auto xbel = m_s.folders.dataHome() / "recently-used.xbel";
    auto st = m_s.files.status(xbel);
    if (st && st->type == FileType::Symlink) {
        // The desktop writes the list through the link: the file it leads to is emptied, but
        // only inside the user's own home.
        std::error_code ec;
        const auto target = fs::weakly_canonical(xbel, ec);
        const auto home = fs::weakly_canonical(m_s.folders.homeFolder(), ec);
        const auto rel = target.lexically_relative(home);
        if (ec || rel.empty() || *rel.begin() == "..") {
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(xbel),
                          "a link to a file outside the home folder");
            return emptyOldRecentList();
        }
        xbel = target;
        st = m_s.files.status(xbel);
        if (st && st->type != FileType::Regular && st->type != FileType::NotFound)
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(xbel), "not a plain file");
    }
    if (st && st->type == FileType::Regular) {
        if (auto s = platform::AtomicFile::write(xbel, kEmptyXbel); !s)
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(xbel), s.error().message);
    }
    emptyOldRecentList();
}

void cCleanInternet::emptyOldRecentList() {
    const auto old = m_s.folders.homeFolder() / ".recently-used";
    if (auto s = m_s.files.status(old); s && s->type == FileType::Regular) {
        if (auto r = m_s.files.remove(old); r)
            m_report.removed(common::CleanArea::Recent, 1, s->size);
        else if (!platform::isGone(r.error()))
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(old), r.error().message);
    }
}

void cCleanInternet::EmptyTempFolder() {
    purge(platform::utf8Of(m_s.folders.temporaryFolder()), common::CleanArea::Temp, PurgeRule::IdleOwnFiles);
}

void cCleanInternet::purge(const std::string& folder, common::CleanArea area, PurgeRule rule) {
    if (folder.empty()) return;
    const fs::path top = fs::path(folder).lexically_normal();
    if (rule == PurgeRule::IdleOwnFiles) {
        // A temporary folder set to the root or the home would make the user's own files fair game.
        const fs::path home = m_s.folders.homeFolder().lexically_normal();
        if (top == top.root_path() || top == home || top / "" == home / "") {
            m_report.fail(area, folder, "not a temporary folder");
            return;
        }
    }
    const std::int64_t now = nowNs();
    shredder::cRecurse walker(m_s.files);
    const auto list = walker.Recurse(folder, "*.*");
    std::set<std::pair<std::uint64_t, std::uint64_t>> inUse;
    std::uint32_t me = 0;
    if (rule == PurgeRule::IdleOwnFiles) {
        if (!m_s.processes) return;
        inUse = m_s.processes->openFiles();
        me = m_s.processes->currentUserId();
    }
    for (std::int64_t i = 1; i <= list.size(); ++i) {
        const std::string& entry = list[i];
        if (entry.empty()) continue;
        const auto path = platform::pathFromUtf8(entry);
        auto st = m_s.files.status(path);
        if (!st && !platform::isGone(st.error())) m_report.fail(area, entry, st.error().message);
        if (!st || st->type == FileType::NotFound || st->type == FileType::Directory) continue;
        if (rule == PurgeRule::IdleOwnFiles) {
            // Programs keep sockets, pipes, links and open files here: only idle files of our own go.
            if (st->type != FileType::Regular || st->ownerId != me) continue;
            if (inUse.contains({st->device, st->inode})) continue;
            if (st->modifiedNs > now - kTempSafetyAgeNs) continue;
            // Nothing above the folder itself, and nothing in or below a name live programs keep.
            const auto rel = fs::path(entry).lexically_normal().lexically_relative(top);
            if (rel.empty() || *rel.begin() == ".." || rel.is_absolute()) continue;
            bool kept = false;
            for (const auto& part : rel) kept = kept || keptByLivePrograms(platform::utf8Of(part));
            if (kept) continue;
        }
        if (auto r = m_s.files.remove(path); r) {
            m_report.removed(area, 1, st->size);
        } else if (!platform::isGone(r.error())) {
            // Where no table of open files can be read (Windows), the refusal itself tells
            // that a program holds the file: in the temporary folder that is a file in use.
            if (rule == PurgeRule::IdleOwnFiles && platform::isInUse(r.error())) continue;
            m_report.fail(area, entry, r.error().message);
        }
    }
    // The temporary folder holds other users' folders, closed to us by design; anywhere else a
    // folder that could not be entered still holds what the user asked to remove.
    if (rule == PurgeRule::AnyFile)
        for (const auto& n : walker.notEntered()) m_report.fail(area, n.path, n.reason);
}

}  // namespace quenvor::cleaning::desktop
