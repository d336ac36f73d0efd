#include "window/win32/ShellDocumentOpener.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

#include "platform/windows/WideText.h"

namespace quenvor::window::win32 {

namespace {

// What the shell's answer at or below 32 means, in the words the user is shown.
std::string reason(INT_PTR code) {
    switch (code) {
        case 0:
        case SE_ERR_OOM:
            return "the system is out of memory";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return "the file was not found";
        case SE_ERR_ACCESSDENIED:
            return "access was denied";
        case SE_ERR_NOASSOC:
        case SE_ERR_ASSOCINCOMPLETE:
            return "no program is associated with this kind of file";
        case SE_ERR_DLLNOTFOUND:
            return "a part of the program associated with it is missing";
        default:
            return "the shell could not start a program for it (" + std::to_string(code) + ")";
    }
}

}  // namespace

platform::Status ShellDocumentOpener::open(const std::string& address, std::uintptr_t owner) {
    const auto done = ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", platform::windows::widen(address).c_str(),
                                    nullptr, nullptr, SW_SHOWNORMAL);
    // Values above 32 are success, as the call has always answered.
    const auto code = reinterpret_cast<INT_PTR>(done);
    if (code > 32) return platform::Status::success();
    return platform::Error{static_cast<int>(code), reason(code)};
}

}  // namespace quenvor::window::win32
