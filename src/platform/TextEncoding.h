#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace quenvor::platform {

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD rather than failing the text.
std::string utf16ToUtf8(std::u16string_view in);
// UTF-8 to UTF-16; an invalid sequence becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view in);
// UTF-8 to UTF-16, failing on the first invalid sequence (for input that must be exact).
std::optional<std::u16string> utf8ToUtf16Exact(std::string_view in);

}  // namespace quenvor::platform
