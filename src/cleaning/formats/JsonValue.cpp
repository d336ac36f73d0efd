#include "cleaning/formats/JsonValue.h"

#include <cstdint>

namespace quenvor::cleaning::formats {

// Far deeper than either file nests; a hostile file cannot exhaust the stack.
constexpr int kMaxDepth = 200;

class JsonParser {
public:
    explicit JsonParser(std::string_view t) : m_t(t) {}

    std::optional<JsonValue> document() {
        JsonValue v;
        if (!value(v, 0)) return std::nullopt;
        space();
        if (m_at != m_t.size()) return std::nullopt;
        return v;
    }

private:
    void space() {
        while (m_at < m_t.size() && (m_t[m_at] == ' ' || m_t[m_at] == '\t' || m_t[m_at] == '\n' || m_t[m_at] == '\r'))
            ++m_at;
    }
    bool literal(std::string_view word) {
        if (m_t.substr(m_at, word.size()) != word) return false;
        m_at += word.size();
        return true;
    }
    bool hex4(std::uint32_t& out) {
        if (m_t.size() - m_at < 4) return false;
        out = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = m_t[m_at++];
            out <<= 4;
            if (c >= '0' && c <= '9')
                out |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                out |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                out |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }
    static void utf8(std::string& out, std::uint32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    bool string(std::string& out) {
        if (m_at >= m_t.size() || m_t[m_at] != '"') return false;
        ++m_at;
        while (m_at < m_t.size()) {
            const char c = m_t[m_at++];
            if (c == '"') return true;
            if (static_cast<unsigned char>(c) < 0x20) return false;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_at >= m_t.size()) return false;
            const char e = m_t[m_at++];
            switch (e) {
                case '"':
                    out += '"';
                    break;
                case '\\':
                    out += '\\';
                    break;
                case '/':
                    out += '/';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'u': {
                    std::uint32_t cp = 0;
                    if (!hex4(cp)) return false;
                    if (cp >= 0xD800 && cp < 0xDC00) {
                        std::uint32_t low = 0;
                        if (!literal("\\u") || !hex4(low) || low < 0xDC00 || low >= 0xE000) return false;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    } else if (cp >= 0xDC00 && cp < 0xE000) {
                        return false;
                    }
                    utf8(out, cp);
                    break;
                }
                default:
                    return false;
            }
        }
        return false;
    }
    bool number(std::string& out) {
        const auto start = m_at;
        auto digits = [&] {
            const auto from = m_at;
            while (m_at < m_t.size() && m_t[m_at] >= '0' && m_t[m_at] <= '9') ++m_at;
            return m_at > from;
        };
        if (m_at < m_t.size() && m_t[m_at] == '-') ++m_at;
        if (!digits()) return false;
        if (m_at < m_t.size() && m_t[m_at] == '.') {
            ++m_at;
            if (!digits()) return false;
        }
        if (m_at < m_t.size() && (m_t[m_at] == 'e' || m_t[m_at] == 'E')) {
            ++m_at;
            if (m_at < m_t.size() && (m_t[m_at] == '+' || m_t[m_at] == '-')) ++m_at;
            if (!digits()) return false;
        }
        out.assign(m_t.substr(start, m_at - start));
        return true;
    }
    bool value(JsonValue& v, int depth) {
        if (depth > kMaxDepth) return false;
        space();
        if (m_at >= m_t.size()) return false;
        const char c = m_t[m_at];
        if (c == '{') {
            ++m_at;
            v.m_kind = JsonValue::Kind::Object;
            space();
            if (m_at < m_t.size() && m_t[m_at] == '}') return ++m_at, true;
            for (;;) {
                space();
                std::string name;
                if (!string(name)) return false;
                space();
                if (!literal(":")) return false;
                JsonValue member;
                if (!value(member, depth + 1)) return false;
                v.m_members.emplace_back(std::move(name), std::move(member));
                space();
                if (literal("}")) return true;
                if (!literal(",")) return false;
            }
        }
        if (c == '[') {
            ++m_at;
            v.m_kind = JsonValue::Kind::Array;
            space();
            if (m_at < m_t.size() && m_t[m_at] == ']') return ++m_at, true;
            for (;;) {
                JsonValue item;
                if (!value(item, depth + 1)) return false;
                v.m_items.push_back(std::move(item));
                space();
                if (literal("]")) return true;
                if (!literal(",")) return false;
            }
        }
        if (c == '"') {
            v.m_kind = JsonValue::Kind::String;
            return string(v.m_text);
        }
        if (literal("true")) return v.m_kind = JsonValue::Kind::Bool, v.m_text = "true", true;
        if (literal("false")) return v.m_kind = JsonValue::Kind::Bool, v.m_text = "false", true;
        if (literal("null")) return v.m_kind = JsonValue::Kind::Null, true;
        v.m_kind = JsonValue::Kind::Number;
        return number(v.m_text);
    }

    std::string_view m_t;
    std::size_t m_at = 0;
};

std::optional<JsonValue> JsonValue::parse(std::string_view text) { return JsonParser(text).document(); }

const JsonValue* JsonValue::member(const std::string& name) const {
    // A name given twice means what it was given last, as in the browsers' own readers.
    for (std::size_t i = m_members.size(); i-- > 0;)
        if (m_members[i].first == name) return &m_members[i].second;
    return nullptr;
}

}  // namespace quenvor::cleaning::formats
