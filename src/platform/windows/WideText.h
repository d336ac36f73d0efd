#pragma once
// The seam between our UTF-8 text and the wide-character Win32 API, and Win32 failures as our
// Error. Nothing in this backend calls an ANSI ("A") function: the ANSI code page cannot hold
// most names.
#include <string>
#include <string_view>

#include "platform/Result.h"

namespace quenvor::platform::windows {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view wide);

// "<what>: <the system's message> (<code>)".
Error win32Error(const std::string& what, unsigned long code);
// The same for the calling thread's last error.
Error lastError(const std::string& what);

}  // namespace quenvor::platform::windows
