#include "cleaning/desktop/LibreOfficeRunning.h"

#include <algorithm>
#include <fstream>

#include "platform/IFileService.h"
#include "platform/IProcessTable.h"

namespace quenvor::cleaning::desktop {
namespace {

// The lock is a few lines; a far larger file is not one.
constexpr std::streamsize kMaxLock = 64L * 1024;

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    std::size_t start = 0;
    while (start < s.size() && (s[start] == ' ' || s[start] == '\t')) ++start;
    return s.substr(start);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
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

// Host names are the same in any case, and on Windows LibreOffice writes the machine's short
// network name: the first 15 letters of its name, in capitals.
bool LibreOfficeRunning::sameHost(const std::string& inLock, const std::string& ours) {
    return sameNoCase(inLock, ours) || (ours.size() > 15 && sameNoCase(inLock, ours.substr(0, 15)));
}

// Windows writes the user's name in its ANSI code page, where a letter it cannot spell becomes
// '?': each '?' stands for one letter outside ASCII of ours. User names there are the same in any
// case; elsewhere the comparison is exact.
bool LibreOfficeRunning::sameUser(const std::string& inLock, const std::string& ours) {
    if (inLock == ours) return true;
#ifdef _WIN32
    std::size_t i = 0, j = 0;
    while (i < inLock.size() && j < ours.size()) {
        const auto c = static_cast<unsigned char>(ours[j]);
        if (c >= 0x80 && inLock[i] == '?') {
            ++i;
            ++j;
            while (j < ours.size() && (static_cast<unsigned char>(ours[j]) & 0xC0) == 0x80) ++j;
            continue;
        }
        if (lower(inLock[i]) != lower(ours[j])) return false;
        ++i;
        ++j;
    }
    return i == inLock.size() && j == ours.size();
#else
    return false;
#endif
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
    if (lock.host && !sameHost(*lock.host, processes->hostName())) return false;
    if (lock.user && !sameUser(*lock.user, processes->currentUserName())) return false;
    return processes->programRunning("soffice.bin");
}

}  // namespace quenvor::cleaning::desktop
