#include "platform/windows/WindowsKnownFolders.h"

#include <windows.h>
// After windows.h, which the shell headers expect first.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace quenvor::platform::windows {
namespace {

std::filesystem::path known(REFKNOWNFOLDERID id) {
    PWSTR path = nullptr;
    std::filesystem::path result;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path) result = path;
    CoTaskMemFree(path);
    return result;
}

}  // namespace

std::filesystem::path WindowsKnownFolders::programFile() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        // A name that filled the buffer may have been cut short: try again with more room.
        if (n < buffer.size()) return std::filesystem::path(buffer.substr(0, n));
        if (buffer.size() >= 32768) return {};
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path WindowsKnownFolders::programFolder() { return programFile().parent_path(); }

std::filesystem::path WindowsKnownFolders::temporaryFolder() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return {};
    std::filesystem::path p(std::wstring(buffer, n));
    // GetTempPathW ends the path with a separator; our other folders have none.
    return p.has_filename() ? p : p.parent_path();
}

std::filesystem::path WindowsKnownFolders::homeFolder() { return known(FOLDERID_Profile); }
std::filesystem::path WindowsKnownFolders::configHome() { return known(FOLDERID_RoamingAppData); }
std::filesystem::path WindowsKnownFolders::cacheHome() { return known(FOLDERID_LocalAppData); }
std::filesystem::path WindowsKnownFolders::dataHome() { return known(FOLDERID_RoamingAppData); }
std::filesystem::path WindowsKnownFolders::stateHome() { return known(FOLDERID_LocalAppData); }

}  // namespace quenvor::platform::windows
