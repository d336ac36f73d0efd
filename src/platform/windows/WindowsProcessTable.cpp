#include "platform/windows/WindowsProcessTable.h"

#include <windows.h>
// After windows.h, which it expects first.
#include <tlhelp32.h>

#include <vector>

#include "platform/windows/WideText.h"
#include "platform/windows/WindowsHandle.h"

namespace quenvor::platform::windows {
namespace {

// The user a process token belongs to, as the TOKEN_USER block that holds the SID; empty when
// it cannot be read.
std::vector<unsigned char> tokenUser(HANDLE process) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return {};
    WindowsHandle owned(token);
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER)) return {};
    std::vector<unsigned char> user(size);
    if (!GetTokenInformation(token, TokenUser, user.data(), size, &size)) return {};
    return user;
}

PSID sidOf(std::vector<unsigned char>& user) { return reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid; }

bool sameFileName(std::wstring_view a, std::wstring_view b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

}  // namespace

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

std::int64_t WindowsProcessTable::currentProcessId() { return GetCurrentProcessId(); }

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

bool WindowsProcessTable::programRunning(const std::string& program) {
    if (program.empty()) return false;
    const std::wstring wanted = widen(program);
    auto me = tokenUser(GetCurrentProcess());
    if (me.empty()) return false;  // without our own user, no process can be told ours
    WindowsHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        // The snapshot gives the program's file name alone; older systems gave a full path.
        std::wstring_view name(entry.szExeFile);
        if (const auto sep = name.find_last_of(L"\\/"); sep != std::wstring_view::npos) name.remove_prefix(sep + 1);
        if (!sameFileName(name, wanted)) continue;
        WindowsHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID));
        if (!process) continue;
        // One that has ended but is still held open by someone is listed for a while yet.
        if (DWORD code = 0; GetExitCodeProcess(process.get(), &code) && code != STILL_ACTIVE) continue;
        auto user = tokenUser(process.get());
        if (!user.empty() && EqualSid(sidOf(user), sidOf(me))) return true;
    }
    return false;
}

}  // namespace quenvor::platform::windows
