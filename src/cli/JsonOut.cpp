#include "cli/JsonOut.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace quenvor::cli {

std::string JsonOut::quoted(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(c));
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

void JsonOut::member(const std::string& key) {
    if (!m_first.empty()) {
        if (!m_first.back()) m_out += ",";
        m_first.back() = false;
    }
    if (!key.empty()) m_out += quoted(key) + ":";
}

JsonOut& JsonOut::beginObject(const std::string& key) {
    member(key);
    m_out += "{";
    m_first.push_back(true);
    return *this;
}

JsonOut& JsonOut::endObject() {
    m_out += "}";
    m_first.pop_back();
    return *this;
}

JsonOut& JsonOut::beginArray(const std::string& key) {
    member(key);
    m_out += "[";
    m_first.push_back(true);
    return *this;
}

JsonOut& JsonOut::endArray() {
    m_out += "]";
    m_first.pop_back();
    return *this;
}

JsonOut& JsonOut::value(const std::string& key, const std::string& text) {
    member(key);
    m_out += quoted(text);
    return *this;
}

JsonOut& JsonOut::value(const std::string& key, std::uint64_t n) {
    member(key);
    m_out += std::to_string(n);
    return *this;
}

JsonOut& JsonOut::value(const std::string& key, int n) {
    member(key);
    m_out += std::to_string(n);
    return *this;
}

JsonOut& JsonOut::value(const std::string& key, bool b) {
    member(key);
    m_out += b ? "true" : "false";
    return *this;
}

JsonOut& JsonOut::value(const std::string& key, double d) {
    member(key);
    // JSON has no infinity or NaN.
    if (!std::isfinite(d)) d = 0;
    char buf[64];
    const auto end = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 1);
    m_out.append(buf, end.ec == std::errc() ? end.ptr : buf);
    return *this;
}

}  // namespace quenvor::cli
