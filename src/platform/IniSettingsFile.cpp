#include "platform/IniSettingsFile.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <vector>

namespace quenvor::platform {
namespace {

std::string trimmed(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

std::string IniSettingsFile::unescapeName(const std::string& raw) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\') {
            out += '/';
        } else if (raw[i] == '%' && i + 2 < raw.size() && hexValue(raw[i + 1]) >= 0 && hexValue(raw[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(raw[i + 1]) * 16 + hexValue(raw[i + 2]));
            i += 2;
        } else {
            out += raw[i];
        }
    }
    return out;
}

// QSettings splits an unquoted value at commas into a list, keeps quoted parts whole, and
// undoes C-style escapes anywhere.
std::optional<std::string> IniSettingsFile::unescape(const std::string& raw) {
    std::vector<std::string> parts(1);
    bool quoted = false;
    const std::string s = trimmed(raw);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            parts.back() = trimmed(parts.back());
            parts.emplace_back();
        } else if (c == '\\' && i + 1 < s.size()) {
            const char e = s[++i];
            switch (e) {
                case 'a':
                    parts.back() += '\a';
                    break;
                case 'b':
                    parts.back() += '\b';
                    break;
                case 'f':
                    parts.back() += '\f';
                    break;
                case 'n':
                    parts.back() += '\n';
                    break;
                case 'r':
                    parts.back() += '\r';
                    break;
                case 't':
                    parts.back() += '\t';
                    break;
                case 'v':
                    parts.back() += '\v';
                    break;
                case 'x': {
                    unsigned cp = 0;
                    while (i + 1 < s.size() && hexValue(s[i + 1]) >= 0)
                        cp = cp * 16 + static_cast<unsigned>(hexValue(s[++i]));
                    appendUtf8(parts.back(), cp);
                    break;
                }
                case '0': {
                    unsigned cp = 0;
                    while (i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7')
                        cp = cp * 8 + static_cast<unsigned>(s[++i] - '0');
                    appendUtf8(parts.back(), cp);
                    break;
                }
                default:
                    parts.back() += e;
                    break;
            }
        } else {
            parts.back() += c;
        }
    }
    if (parts.size() != 1) return std::nullopt;
    std::string v = parts.front();
    if (!v.empty() && v[0] == '@') {
        if (v.size() > 1 && v[1] == '@') return v.substr(1);
        return std::nullopt;  // @Variant(...), @ByteArray(...), @Invalid()
    }
    return v;
}

void IniSettingsFile::load() {
    m_loaded = true;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) return;
    std::string section, line, pending;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A backslash escapes the next character, the line break too: a line ending in an odd
        // number of them goes on on the next one (two at the end are one backslash of the value).
        const auto lastOther = line.find_last_not_of('\\');
        const std::size_t backslashes = lastOther == std::string::npos ? line.size() : line.size() - 1 - lastOther;
        if (backslashes % 2 == 1) {
            pending += line.substr(0, line.size() - 1);
            continue;
        }
        line.insert(0, pending);
        pending.clear();
        const std::string t = trimmed(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t[0] == '[') {
            const auto end = t.find(']');
            section = unescapeName(t.substr(1, end == std::string::npos ? std::string::npos : end - 1));
            if (section == "General") section.clear();
            if (section == "%General") section = "General";
            continue;
        }
        const auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        m_raw[{section, unescapeName(trimmed(t.substr(0, eq)))}] = t.substr(eq + 1);
    }
}

std::string IniSettingsFile::read(const std::string& /*app*/, const std::string& section, const std::string& key,
                                  const std::string& fallback) {
    if (!m_loaded) load();
    const auto it = m_raw.find({section, key});
    if (it == m_raw.end()) return fallback;
    return unescape(it->second).value_or(fallback);
}

Status IniSettingsFile::write(const std::string&, const std::string&, const std::string&, const std::string&) {
    return Error{EROFS, m_file.string() + " belongs to the window and is only read here"};
}

}  // namespace quenvor::platform
