#pragma once
// A small reader for the JSON files browsers keep beside their databases ("Local State",
// "Bookmarks"). Those files may be cut short by a crash or written by anyone, so the reader
// never trusts them: nesting is bounded, and anything that is not well-formed is no value.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenvor::cleaning::formats {

class JsonValue {
public:
    enum class Kind { Null, Bool, Number, String, Array, Object };

    // The document, or nothing when it is not well-formed JSON.
    static std::optional<JsonValue> parse(std::string_view text);

    Kind kind() const { return m_kind; }
    // The text of a string (empty for any other kind).
    const std::string& text() const { return m_text; }
    // A member of an object; null when there is none or this is no object.
    const JsonValue* member(const std::string& name) const;
    // A member named twice is listed twice; member() gives the last.
    const std::vector<std::pair<std::string, JsonValue>>& members() const { return m_members; }
    const std::vector<JsonValue>& items() const { return m_items; }

private:
    friend class JsonParser;
    Kind m_kind = Kind::Null;
    std::string m_text;  // a string's text, a number's spelling
    std::vector<std::pair<std::string, JsonValue>> m_members;
    std::vector<JsonValue> m_items;
};

}  // namespace quenvor::cleaning::formats
