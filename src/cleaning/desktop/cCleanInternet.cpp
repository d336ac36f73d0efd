#include "cleaning/desktop/cCleanInternet.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <set>

#include "cleaning/desktop/LibreOfficeRecent.h"
#include "cleaning/desktop/RecentlyUsedList.h"
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

// The desktop's list of recent files is small; a far larger file is not read into memory.
constexpr std::uint64_t kMaxRecentList = 64 << 20;

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

// The addresses found go, value by value, and the key stays for the browser to write on (made
// again when it is missing; when that fails the raised error tells the run). The times of the
// same addresses go with them, counted as no entries of their own.
void cCleanInternet::CleanTypedUrls() {
    RegistryTraces traces(m_s.registry, m_report, common::CleanArea::TypedUrls);
    auto typed = traces.find(platform::kCurrentUser, kTypedUrlsKey);
    auto times = traces.find(platform::kCurrentUser, kTypedUrlsTimeKey);
    times.items = 0;
    for (auto* list : {&times.values, &times.subkeys})
        for (auto& e : *list) e.items = 0;
    auto names = typed.names;
    const std::uint64_t items = typed.items, bytes = typed.bytes + times.bytes;
    m_sink.step(
        common::CleanArea::TypedUrls, kTypedUrlsKey, items, bytes,
        [this, typed = std::move(typed), times = std::move(times)] {
            RegistryTraces removal(m_s.registry, m_report, common::CleanArea::TypedUrls);
            removal.removeContents(platform::kCurrentUser, typed);
            removal.removeContents(platform::kCurrentUser, times);
            if (times.exists) removeKeyIfEmpty(kTypedUrlsTimeKey, common::CleanArea::TypedUrls);
            (void)CreateRegKey(platform::kCurrentUser, kTypedUrlsKey);  // whether it existed does not matter here
        },
        std::move(names));
}

// A key whose values went goes too, unless something came into it since: that is named by the
// run, not here.
void cCleanInternet::removeKeyIfEmpty(const std::string& key, common::CleanArea area) {
    common::CleanReport unseen;
    const auto left = RegistryTraces(m_s.registry, unseen, area).find(platform::kCurrentUser, key);
    if (left.exists && left.unreadable.empty() && left.values.empty() && left.subkeys.empty())
        (void)DeleteRegKey(platform::kCurrentUser, key, area);  // a refusal is told by DeleteRegKey
}

// The values found go, and the key with them once nothing else is left in it.
void cCleanInternet::CleanFormData() {
    RegistryTraces traces(m_s.registry, m_report, common::CleanArea::FormData);
    auto found = traces.find(platform::kCurrentUser, kFormDataKey);
    if (!found.exists && found.unreadable.empty()) return;
    auto names = found.names;
    const std::uint64_t items = found.items, bytes = found.bytes;
    m_sink.step(
        common::CleanArea::FormData, kFormDataKey, items, bytes,
        [this, found = std::move(found)] {
            RegistryTraces removal(m_s.registry, m_report, common::CleanArea::FormData);
            removal.removeContents(platform::kCurrentUser, found);
            if (found.unreadable.empty()) removeKeyIfEmpty(kFormDataKey, common::CleanArea::FormData);
        },
        std::move(names));
}

void cCleanInternet::ClearInternetHistory() {
    // A system without a history service has nothing to clear there; the service tells no
    // entries, so its step counts none.
    if (m_s.history)
        m_sink.step(common::CleanArea::History, "", 0, 0, [this] {
            if (auto s = m_s.history->clearHistory(); !s)
                m_report.fail(common::CleanArea::History, "", s.error().message);
        });
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
    auto docs = recentDocs.find(platform::kCurrentUser, kRecentDocsKey);
    if (docs.exists || !docs.unreadable.empty()) {
        auto names = docs.names;
        const std::uint64_t items = docs.items, bytes = docs.bytes;
        m_sink.step(
            common::CleanArea::Recent, kRecentDocsKey, items, bytes,
            [this, docs = std::move(docs)] {
                RegistryTraces(m_s.registry, m_report, common::CleanArea::Recent)
                    .removeContents(platform::kCurrentUser, docs);
            },
            std::move(names));
    }
    emptyDesktopRecentList();
    auto open = std::make_shared<OpenFiles>();
    for (const auto& f : ThumbnailCache(m_s.files, m_s.folders, m_report).find())
        planFile(common::CleanArea::Thumbnails, f.path, f.was, PurgeRule::AnyFile, open);
    LibreOfficeRecent office(m_s.files, m_s.folders, m_s.processes, m_report);
    for (auto& found : office.find()) {
        const std::uint64_t items = found.paths.size(), bytes = found.bytes;
        const std::string what = platform::utf8Of(found.file);
        m_sink.step(common::CleanArea::Recent, what, items, bytes, [this, found = std::move(found)] {
            LibreOfficeRecent(m_s.files, m_s.folders, m_s.processes, m_report).remove(found);
        });
    }
}

void cCleanInternet::emptyDesktopRecentList() {
    // Desktop programs read and rewrite this list: leave it valid and empty, never missing.
    auto xbel = m_s.folders.dataHome() / kRecentlyUsedXbel;
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
        // Read as it is now: the list the step found, or the list the desktop wrote since.
        auto read = [this](const fs::path& file) -> std::optional<std::string> {
            auto now = m_s.files.status(file);
            if (!now || now->type != FileType::Regular || now->size > kMaxRecentList) return std::nullopt;
            std::ifstream in(file, std::ios::binary);
            std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (!in && !in.eof()) return std::nullopt;
            return text;
        };
        const auto text = read(xbel);
        const auto bookmarks = text ? RecentlyUsedList::bookmarks(*text) : std::nullopt;
        std::set<std::string> hrefs;
        std::vector<std::string> names;
        std::uint64_t bytes = st->size;
        if (bookmarks) {
            bytes = 0;
            for (const auto& b : *bookmarks) {
                bytes += b.end - b.begin;
                if (hrefs.insert(b.href).second) names.push_back(b.href);
            }
        }
        // A list not laid out as the desktop writes it is one item, replaced by the bare list.
        const bool whole = !bookmarks;
        const std::uint64_t items = whole ? 1 : hrefs.size();
        if (items > 0)
            m_sink.step(
                common::CleanArea::Recent, platform::utf8Of(xbel), items, bytes,
                [this, xbel, whole, read, hrefs = std::move(hrefs), items] {
                    const auto now = read(xbel);
                    std::size_t removed = whole ? 1 : 0;
                    std::optional<std::string> cleaned;
                    if (whole)
                        cleaned = RecentlyUsedList::kEmpty;
                    else if (now)
                        cleaned = RecentlyUsedList::without(*now, hrefs, &removed);
                    if (!cleaned) {
                        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xbel),
                                      "not laid out as the desktop writes it, left as it is");
                        return;
                    }
                    if (removed == 0) return;
                    if (auto s = platform::AtomicFile::write(xbel, *cleaned); !s)
                        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xbel), s.error().message);
                    else
                        m_report.removed(common::CleanArea::Recent, whole ? items : removed,
                                         now && now->size() > cleaned->size() ? now->size() - cleaned->size() : 0);
                },
                std::move(names));
    }
    emptyOldRecentList();
}

void cCleanInternet::emptyOldRecentList() {
    const auto old = m_s.folders.homeFolder() / kOldRecentList;
    if (auto s = m_s.files.status(old); s && s->type == FileType::Regular)
        planFile(common::CleanArea::Recent, old, *s, PurgeRule::AnyFile, std::make_shared<OpenFiles>());
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
        if (!m_s.processes) return;
    }
    const std::int64_t now = nowNs();
    shredder::cRecurse walker(m_s.files);
    const auto list = walker.Recurse(folder, "*.*");
    // Whether a file is open is asked again when it goes: it may have been opened since.
    auto open = std::make_shared<OpenFiles>();
    std::set<std::pair<std::uint64_t, std::uint64_t>> inUse;
    std::uint32_t me = 0;
    if (rule == PurgeRule::IdleOwnFiles) {
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
        planFile(area, path, *st, rule, open);
    }
    // The temporary folder holds other users' folders, closed to us by design; anywhere else a
    // folder that could not be entered still holds what the user asked to remove.
    if (rule == PurgeRule::AnyFile)
        for (const auto& n : walker.notEntered()) m_report.fail(area, n.path, n.reason);
}

void cCleanInternet::planFile(common::CleanArea area, const fs::path& path, const platform::FileStatus& was,
                              PurgeRule rule, std::shared_ptr<OpenFiles> open) {
    m_sink.step(area, platform::utf8Of(path), 1, was.type == FileType::Regular ? was.size : 0,
                [this, area, path, was, rule, open = std::move(open)] { removeFile(area, path, was, rule, *open); });
}

void cCleanInternet::removeFile(common::CleanArea area, const fs::path& path, const platform::FileStatus& was,
                                PurgeRule rule, OpenFiles& open) {
    auto st = m_s.files.status(path);
    if (!st) {
        if (!platform::isGone(st.error())) m_report.fail(area, platform::utf8Of(path), st.error().message);
        return;
    }
    // Another file under the name found is not the one found; one written to since is in use.
    if (st->type != was.type || st->device != was.device || st->inode != was.inode) return;
    if (rule == PurgeRule::IdleOwnFiles) {
        if (st->modifiedNs != was.modifiedNs || st->size != was.size) return;
        if (!open.read && m_s.processes) open.files = m_s.processes->openFiles();
        open.read = true;
        if (open.files.contains({st->device, st->inode})) return;
    }
    if (auto r = m_s.files.remove(path); r) {
        m_report.removed(area, 1, st->type == FileType::Regular ? st->size : 0);
    } else if (!platform::isGone(r.error())) {
        // Where no table of open files can be read (Windows), the refusal itself tells
        // that a program holds the file: in the temporary folder that is a file in use.
        if (rule == PurgeRule::IdleOwnFiles && platform::isInUse(r.error())) return;
        m_report.fail(area, platform::utf8Of(path), r.error().message);
    }
}

}  // namespace quenvor::cleaning::desktop
