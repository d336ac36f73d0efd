#include "platform/Utf8Path.h"

namespace quenvor::platform {

std::filesystem::path pathFromUtf8(std::string_view utf8) {
    const std::u8string text(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size());
    return std::filesystem::path(text);
}

std::string utf8Of(const std::filesystem::path& p) {
    const std::u8string text = p.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

std::string shownPath(std::string_view utf8) {
    if constexpr (std::filesystem::path::preferred_separator == '/') {
        return std::string(utf8);
    } else {
        std::filesystem::path p = pathFromUtf8(utf8);
        p.make_preferred();
        return utf8Of(p);
    }
}

}  // namespace quenvor::platform
