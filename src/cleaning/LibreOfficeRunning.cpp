#include "cleaning/LibreOfficeRunning.h"

#include <fstream>

#include "platform/IFileService.h"
#include "platform/IProcessTable.h"

namespace quenvor::cleaning {
namespace {

// The lock is a few lines; a far larger file is not one.
constexpr std::streamsize kMaxLock = 64L * 1024;

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && (s[start] == ' ' || s[start] == '\t')) ++start;
    return s.substr(start);
}

}  // namespace

LibreOfficeRunning::Lock LibreOfficeRunning::parseLock(const std::string& text) {
    Lock lock;
    bool inGroup = false;
    std::size_t at = 0;
    while (at < text.size()) {
        auto end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(text.substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line.front() == '[') {
            inGroup = line == "[Lockdata]";
            continue;
        }
        const auto eq = line.find('=');
        if (!inGroup || eq == std::string::npos) continue;
        const std::string key = trimmed(line.substr(0, eq)), value = trimmed(line.substr(eq + 1));
        if (key == "Host") lock.host = value;
        if (key == "User") lock.user = value;
    }
    return lock;
}

bool LibreOfficeRunning::running(const std::filesystem::path& profile, platform::IFileService& files,
                                 platform::IProcessTable* processes) {
    if (!processes) return false;
    const auto file = profile / ".lock";
    auto st = files.status(file);
    if (!st || st->type != platform::FileType::Regular) return false;
    std::ifstream in(file, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxLock), '\0');
    in.read(text.data(), kMaxLock);
    text.resize(static_cast<std::size_t>(in.gcount()));
    // A lock still being written names nobody yet: then the running program alone decides.
    const Lock lock = parseLock(text);
    if (lock.host && *lock.host != processes->hostName()) return false;
    if (lock.user && *lock.user != processes->currentUserName()) return false;
    return processes->programRunning("soffice.bin");
}

}  // namespace quenvor::cleaning
