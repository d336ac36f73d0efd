#include "cleaning/ChromiumRunning.h"

#include <algorithm>
#include <charconv>

#include "platform/IFileService.h"
#include "platform/IProcessTable.h"

namespace quenvor::cleaning {

bool ChromiumRunning::running(const std::filesystem::path& root, platform::IFileService& files,
                              platform::IProcessTable* processes) {
    if (!processes) return false;
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
    return host == processes->hostName() && processes->processAlive(pid);
}

}  // namespace quenvor::cleaning
