#include "platform/windows/WindowsProcessTable.h"

#include <windows.h>

#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {

std::set<std::pair<std::uint64_t, std::uint64_t>> WindowsProcessTable::openFiles() { return {}; }

std::string WindowsProcessTable::currentUserName() {
    wchar_t buffer[257];  // UNLEN + 1
    DWORD n = 257;
    if (!GetUserNameW(buffer, &n) || n == 0) return {};
    return narrow(std::wstring_view(buffer, n - 1));
}

std::string WindowsProcessTable::hostName() {
    wchar_t buffer[256];
    DWORD n = 256;
    if (!GetComputerNameExW(ComputerNameDnsHostname, buffer, &n)) return {};
    return narrow(std::wstring_view(buffer, n));
}

bool WindowsProcessTable::processAlive(std::int64_t pid) {
    if (pid <= 0 || pid > 0xFFFFFFFFLL) return false;
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h) return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) && code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
}

bool WindowsProcessTable::lockedByAnother(const std::filesystem::path& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

}  // namespace quenvor::platform::windows
