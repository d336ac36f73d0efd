#include "shredder/cRecurse.h"

#include <algorithm>

#include "platform/IFileService.h"
#include "shredder/Wildcard.h"

namespace quenvor::shredder {

using platform::FileType;

cRecurse::cRecurse(platform::IFileService& files, std::function<void()> processEvents)
    : m_files(files), m_processEvents(std::move(processEvents)) {}

std::string cRecurse::sGetShortName(const std::string& szPath) { return m_files.shortForm(szPath); }

RecurseList cRecurse::Recurse(const std::string& StartDir, const std::string& FileTypes) {
    m_notEntered.clear();
    std::vector<std::string> out;
    // An empty start would mean the root of everything: never walk it by accident.
    if (StartDir.empty()) return RecurseList{};
    std::vector<std::filesystem::path> roots;
    if (StartDir == kAllFixedDisks) {
        roots = m_files.fixedDiskRoots();
    } else {
        roots.emplace_back(StartDir);
    }
    for (const auto& root : roots) {
        if (StartDir == kAllFixedDisks && m_processEvents) m_processEvents();
        auto st = m_files.status(root);
        if (!st || st->type != FileType::Directory) continue;
        walk(root, FileTypes, st->device, out);
    }
    return RecurseList{std::move(out)};
}

void cRecurse::walk(const std::filesystem::path& folder, const std::string& pattern, std::uint64_t device,
                    std::vector<std::string>& out) {
    auto listing = m_files.list(folder);
    if (!listing) {
        m_notEntered.push_back({folder.string(), listing.error().message, false});
        return;
    }
    auto entries = std::move(*listing);
    // A stable order: the same tree always gives the same list.
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    std::string base = folder.string();
    if (base.empty() || base.back() != '/') base += '/';

    for (const auto& e : entries)
        if (e.type != FileType::Directory && WildcardMatch(pattern, e.name)) out.push_back(base + e.name);

    const bool announceFolders = pattern == "*.*";
    for (const auto& e : entries) {
        if (e.type != FileType::Directory) continue;
        const std::string sub = base + e.name;
        auto st = m_files.status(sub);
        if (!st || st->type != FileType::Directory) {
            if (!st) m_notEntered.push_back({sub, st.error().message, false});
            continue;
        }
        if (st->device != device) {
            m_notEntered.push_back({sub, "mount point", true});
            continue;
        }
        if (announceFolders) {
            out.emplace_back();
            out.push_back(sub);
        }
        walk(sub, pattern, device, out);
    }
}

}  // namespace quenvor::shredder
