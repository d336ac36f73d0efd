#include "shredder/cRecurse.h"

#include <algorithm>

#include "platform/IFileService.h"
#include "platform/Utf8Path.h"
#include "shredder/Wildcard.h"

namespace quenvor::shredder {

using platform::FileType;

cRecurse::cRecurse(platform::IFileService& files, std::function<void()> processEvents)
    : m_files(files), m_processEvents(std::move(processEvents)) {}

std::string cRecurse::sGetShortName(const std::string& szPath) { return m_files.shortForm(szPath); }

RecurseList cRecurse::Recurse(const std::string& StartDir, const std::string& FileTypes) {
    std::vector<std::string> out;
    const bool announceFolders = FileTypes == "*.*";
    visit(StartDir, [&](const Found& f) {
        if (f.enteredFolder) {
            if (announceFolders) {
                out.emplace_back();
                out.push_back(f.path);
            }
        } else if (WildcardMatch(FileTypes, f.entry.name)) {
            out.push_back(f.path);
        }
        return true;
    });
    return RecurseList{std::move(out)};
}

bool cRecurse::visit(const std::string& StartDir, const Visitor& visitor) {
    m_notEntered.clear();
    // An empty start would mean the root of everything: never walk it by accident.
    if (StartDir.empty()) return true;
    std::vector<std::filesystem::path> roots;
    if (StartDir == kAllFixedDisks) {
        roots = m_files.fixedDiskRoots();
    } else {
        roots.push_back(platform::pathFromUtf8(StartDir));
    }
    for (const auto& root : roots) {
        if (StartDir == kAllFixedDisks && m_processEvents) m_processEvents();
        auto folder = m_files.openDirectory(root);
        if (!folder) continue;
        if (!walkFrom(**folder, platform::utf8Of(root), visitor)) return false;
    }
    return true;
}

bool cRecurse::visit(platform::IDirectory& start, const std::string& path, const Visitor& visitor) {
    m_notEntered.clear();
    return walkFrom(start, path, visitor);
}

bool cRecurse::walkFrom(platform::IDirectory& start, std::string path, const Visitor& visitor) {
    auto st = start.status();
    if (!st || st->type != FileType::Directory) return true;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return walk(start, path, {st->device, st->mountId}, visitor);
}

bool cRecurse::walk(platform::IDirectory& folder, const std::string& path, Mount mount, const Visitor& visitor) {
    auto listing = folder.list();
    if (!listing) {
        m_notEntered.push_back({path, listing.error().message});
        return true;
    }
    auto entries = std::move(*listing);
    // A stable order: the same tree always gives the same list.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    const std::string base = path.empty() || path.back() != '/' ? path + '/' : path;

    for (const auto& e : entries) {
        if (e.type == FileType::Directory) continue;
        const std::string p = base + e.name;
        if (!visitor({folder, e, p})) return false;
    }
    for (const auto& e : entries) {
        if (e.type != FileType::Directory) continue;
        const std::string sub = base + e.name;
        auto listed = folder.statAt(e.name);
        if (!listed) {
            m_notEntered.push_back({sub, listed.error().message});
            continue;
        }
        if (listed->type != FileType::Directory) {
            // Listed as a folder, now something else: whatever it is was not chosen as a folder.
            if (listed->type != FileType::NotFound) m_notEntered.push_back({sub, "changed", false, true});
            continue;
        }
        if (listed->device != mount.device) {
            m_notEntered.push_back({sub, "mount point", true});
            continue;
        }
        auto opened = folder.openDir(e.name);
        if (!opened) {
            // A link put in its place meanwhile is refused here rather than followed.
            auto now = folder.statAt(e.name);
            const bool changed = now && now->type != FileType::NotFound &&
                                 (now->type != FileType::Directory || now->identity() != listed->identity());
            m_notEntered.push_back({sub, changed ? "changed" : opened.error().message, false, changed});
            continue;
        }
        auto entered = (*opened)->status();
        if (!entered) {
            m_notEntered.push_back({sub, entered.error().message});
            continue;
        }
        if (entered->identity() != listed->identity()) {
            m_notEntered.push_back({sub, "changed", false, true});
            continue;
        }
        // A bind mount of this same filesystem: the device matches, the mount does not.
        if (mount.id != 0 && entered->mountId != 0 && entered->mountId != mount.id) {
            m_notEntered.push_back({sub, "mount point", true});
            continue;
        }
        if (!visitor({**opened, e, sub, true})) return false;
        if (!walk(**opened, sub, mount, visitor)) return false;
    }
    return true;
}

}  // namespace quenvor::shredder
