#pragma once
// The value of one attribute in a start tag of the small XML files desktop programs keep, read
// without an XML library: either quote is accepted, and a value that is not closed is none.
#include <optional>
#include <string>
#include <string_view>

namespace quenvor::cleaning::desktop {

class XmlAttribute {
public:
    static std::optional<std::string> of(std::string_view tag, std::string_view name);
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
};

}  // namespace quenvor::cleaning::desktop
