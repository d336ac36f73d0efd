#include "window/win32/ShellDocumentOpener.h"

#include <windows.h>

#include <shellapi.h>

#include "platform/windows/WideText.h"

namespace quenvor::window::win32 {

bool ShellDocumentOpener::open(const std::string& address, std::uintptr_t owner) {
    const auto done = ShellExecuteW(reinterpret_cast<HWND>(owner), L"open", platform::windows::widen(address).c_str(),
                                    nullptr, nullptr, SW_SHOWNORMAL);
    // Values above 32 are success, as the call has always answered.
    return reinterpret_cast<INT_PTR>(done) > 32;
}

}  // namespace quenvor::window::win32
