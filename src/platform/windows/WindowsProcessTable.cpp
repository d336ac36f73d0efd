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

bool WindowsProcessTable::lockedByAnother(const std::filesystem::path& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(h);
    return false;
}

}  // namespace quenvor::platform::windows
