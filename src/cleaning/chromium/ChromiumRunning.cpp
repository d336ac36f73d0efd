#include "cleaning/chromium/ChromiumRunning.h"

#include <algorithm>
#include <charconv>
#include <set>

#include "platform/IFileService.h"
#include "platform/IProcessTable.h"

namespace quenvor::cleaning::chromium {

bool ChromiumRunning::running(const std::filesystem::path& root, platform::IFileService& files,
                              platform::IProcessTable* processes) {
    if (!processes) return false;
    // On Windows the browser holds "lockfile" open unshared instead.
    if (processes->lockedByAnother(root / "lockfile")) return true;
    auto target = files.readLink(root / "SingletonLock");
    if (!target) return false;
    // Host names may hold dashes; the process id is what follows the last one.
    const auto dash = target->rfind('-');
    if (dash == std::string::npos || dash == 0) return false;
    const std::string host = target->substr(0, dash);
    const std::string id = target->substr(dash + 1);
    if (id.empty() || !std::all_of(id.begin(), id.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    long long pid = 0;
    const auto [end, ec] = std::from_chars(id.data(), id.data() + id.size(), pid);
    if (ec != std::errc() || end != id.data() + id.size()) return false;
    if (host != processes->hostName()) return false;
    if (processes->processAlive(pid)) return true;
    // A browser in a sandbox (flatpak, snap) writes the id its own process namespace gave it,
    // which means nothing out here: it still runs while some process holds its stores open.
    return storesOpen(root, files, *processes);
}

bool ChromiumRunning::storesOpen(const std::filesystem::path& root, platform::IFileService& files,
                                 platform::IProcessTable& processes) {
    auto listing = files.list(root);
    if (!listing) return false;
    std::set<std::pair<std::uint64_t, std::uint64_t>> stores;
    // The folder itself is one more place a profile's stores may be (Opera keeps them there).
    listing->push_back({".", platform::FileType::Directory});
    for (const auto& e : *listing) {
        if (e.type != platform::FileType::Directory) continue;
        for (const char* store : {"History", "Cookies", "Network/Cookies", "Web Data", "Favicons"}) {
            auto st = files.status(e.name == "." ? root / store : root / e.name / store);
            if (st && st->type == platform::FileType::Regular) stores.emplace(st->device, st->inode);
        }
    }
    if (stores.empty()) return false;
    for (const auto& open : processes.openFiles())
        if (stores.contains(open)) return true;
    return false;
}

}  // namespace quenvor::cleaning::chromium
