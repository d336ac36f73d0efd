#include "platform/windows/WideText.h"

#include <windows.h>

#include "platform/TextEncoding.h"

namespace quenvor::platform::windows {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring widen(std::string_view utf8) {
    const std::u16string u = utf8ToUtf16(utf8);
    return std::wstring(u.begin(), u.end());
}

std::string narrow(std::wstring_view wide) {
    const std::u16string u(wide.begin(), wide.end());
    return utf16ToUtf8(u);
}

Error win32Error(const std::string& what, unsigned long code) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string message;
    if (n != 0 && buffer) message = narrow(std::wstring_view(buffer, n));
    if (buffer) LocalFree(buffer);
    while (!message.empty() && (message.back() == ' ' || message.back() == '.')) message.pop_back();
    if (message.empty()) message = "system error";
    return Error{static_cast<int>(code), what + ": " + message + " (" + std::to_string(code) + ")"};
}

Error lastError(const std::string& what) { return win32Error(what, GetLastError()); }

}  // namespace quenvor::platform::windows
