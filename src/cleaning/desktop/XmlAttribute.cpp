#include "cleaning/desktop/XmlAttribute.h"

namespace quenvor::cleaning::desktop {

std::optional<std::string> XmlAttribute::of(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
        if (at == 0 || !isSpace(tag[at - 1])) continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return std::nullopt;
        const char quote = tag[i];
        const auto end = tag.find(quote, i + 1);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(tag.substr(i + 1, end - i - 1));
    }
    return std::nullopt;
}

}  // namespace quenvor::cleaning::desktop
