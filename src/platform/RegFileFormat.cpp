#include "platform/RegFileFormat.h"

#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <sstream>
#include <string_view>

#include "platform/IRegistry.h"
#include "platform/TextEncoding.h"

namespace quenvor::platform {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::vector<std::uint8_t> sz(const std::string& s) {
    std::vector<std::uint8_t> d(s.begin(), s.end());
    d.push_back(0);
    return d;
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Reads a quoted string starting at `i` (on the opening quote); `i` ends after the closing one.
bool unquote(std::string_view line, std::size_t& i, std::string& out) {
    if (i >= line.size() || line[i] != '"') return false;
    out.clear();
    for (++i; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out += line[++i];
        } else if (line[i] == '"') {
            ++i;
            return true;
        } else {
            out += line[i];
        }
    }
    return false;
}

// The whole of `text` as a hexadecimal number, or nothing: no sign, no prefix, no trailing rest.
template <class T>
std::optional<T> hexNumber(std::string_view text) {
    T n{};
    if (text.empty()) return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n, 16);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return n;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The comma-separated bytes of a hex value ("01,ff,2a"; an empty list is no bytes).
std::optional<std::vector<std::uint8_t>> hexBytes(std::string_view list) {
    std::vector<std::uint8_t> out;
    list = trimmed(list);
    if (list.empty()) return out;
    while (true) {
        const auto comma = list.find(',');
        const auto byte = hexNumber<std::uint8_t>(trimmed(list.substr(0, comma)));
        if (!byte || trimmed(list.substr(0, comma)).size() != 2) return std::nullopt;
        out.push_back(*byte);
        if (comma == std::string_view::npos) return out;
        list.remove_prefix(comma + 1);
    }
}

// The data of one value ("\"text\"", "dword:...", "hex(N):..."), or what is wrong with it.
std::optional<std::string> readData(std::string_view rest, RegistryValue& v) {
    if (!rest.empty() && rest[0] == '"') {
        std::size_t j = 0;
        std::string s;
        if (!unquote(rest, j, s)) return "a text value without its closing quote";
        if (!trimmed(rest.substr(j)).empty()) return "something after a text value's closing quote";
        v.type = kRegSz;
        v.data = sz(s);
        return std::nullopt;
    }
    if (rest.substr(0, 6) == "dword:") {
        const auto digits = trimmed(rest.substr(6));
        const auto n = hexNumber<std::uint32_t>(digits);
        if (!n || digits.size() > 8) return "a dword that is not 1 to 8 hexadecimal digits";
        v.type = kRegDword;
        v.data = {static_cast<std::uint8_t>(*n), static_cast<std::uint8_t>(*n >> 8),
                  static_cast<std::uint8_t>(*n >> 16), static_cast<std::uint8_t>(*n >> 24)};
        return std::nullopt;
    }
    if (rest.substr(0, 3) == "hex") {
        const auto colon = rest.find(':');
        if (colon == std::string_view::npos) return "a hex value without its colon";
        const auto kind = rest.substr(3, colon - 3);
        if (kind.empty()) {
            v.type = kRegBinary;
        } else {
            const auto type = kind.size() > 2 && kind.front() == '(' && kind.back() == ')'
                                  ? hexNumber<std::uint32_t>(kind.substr(1, kind.size() - 2))
                                  : std::nullopt;
            if (!type) return "a hex value with an unreadable type";
            v.type = *type;
        }
        const auto bytes = hexBytes(rest.substr(colon + 1));
        if (!bytes) return "a hex value whose bytes are not two-digit hexadecimal numbers";
        v.data = *bytes;
        if (v.type == kRegExpandSz || v.type == kRegMultiSz) {
            // The editor's exports keep these as UTF-16LE.
            if (v.data.size() % 2) return "a UTF-16 text with an odd number of bytes";
            std::u16string wide;
            for (std::size_t k = 0; k + 1 < v.data.size(); k += 2)
                wide.push_back(static_cast<char16_t>(v.data[k] | (v.data[k + 1] << 8)));
            const std::string narrow = utf16ToUtf8(wide);
            v.data.assign(narrow.begin(), narrow.end());
        }
        return std::nullopt;
    }
    return "a value of a kind this store does not know";
}

bool continuesOnNextLine(const std::string& line) {
    const auto eq = line.rfind('=');
    return !line.empty() && line.back() == '\\' && eq != std::string::npos && line.compare(eq + 1, 3, "hex") == 0;
}

void writeValue(std::ostringstream& out, const RegistryValue& v) {
    out << (v.name.empty() ? std::string("@") : quote(v.name)) << "=";
    const bool plainText = v.type == kRegSz && !v.data.empty() && v.data.back() == 0 &&
                           std::find(v.data.begin(), v.data.end() - 1, 0) == v.data.end() - 1;
    if (plainText) {
        out << quote(std::string(v.data.begin(), v.data.end() - 1));
    } else if (v.type == kRegDword && v.data.size() == 4) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%02x%02x%02x%02x", v.data[3], v.data[2], v.data[1], v.data[0]);
        out << buf;
    } else {
        std::vector<std::uint8_t> bytes = v.data;
        if (v.type == kRegExpandSz || v.type == kRegMultiSz) {
            const auto wide = utf8ToUtf16(std::string(v.data.begin(), v.data.end()));
            bytes.clear();
            for (char16_t c : wide) {
                bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(c >> 8));
            }
        }
        // The type is hexadecimal, as the editor writes it (and as it is read back).
        char type[16];
        std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(v.type));
        out << (v.type == kRegBinary ? std::string("hex:") : std::string(type));
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
            out << (i ? "," : "") << buf;
        }
    }
    out << "\r\n";
}

}  // namespace

RegFileFormat::Parsed RegFileFormat::read(const std::string& text) {
    Parsed parsed{std::make_unique<RegistryKey>(), {}};
    RegistryKey* current = nullptr;
    std::istringstream in(text);
    std::string line;
    std::size_t number = 0;
    auto fail = [&](std::size_t at, std::string message) { parsed.errors.push_back({at, std::move(message)}); };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (number == 1 && line.rfind(kUtf8Bom, 0) == 0) line.erase(0, kUtf8Bom.size());  // editors add one
        const std::size_t first = number;
        // A long hex value goes on over the next lines, each but the last ending in a backslash.
        while (continuesOnNextLine(line)) {
            std::string next;
            if (!std::getline(in, next)) break;
            ++number;
            if (!next.empty() && next.back() == '\r') next.pop_back();
            line.pop_back();
            line += trimmed(next);
        }
        if (trimmed(line).empty() || line[0] == ';' || line.rfind(kHeader, 0) == 0) continue;
        if (line[0] == '[') {
            if (line.back() != ']') {
                fail(first, "a key name without its closing bracket");
                current = nullptr;
                continue;
            }
            current = parsed.roots.get();
            for (const auto& p : splitKeyPath(line.substr(1, line.size() - 2))) current = &current->child(p);
            continue;
        }
        if (!current) {
            fail(first, "a value outside any key");
            continue;
        }
        std::size_t i = 0;
        RegistryValue v;
        if (line[0] == '@') {
            i = 1;
        } else if (!unquote(line, i, v.name)) {
            fail(first, "a value name that is not quoted");
            continue;
        }
        if (i >= line.size() || line[i] != '=') {
            fail(first, "a value name without '='");
            continue;
        }
        if (auto wrong = readData(std::string_view(line).substr(i + 1), v)) {
            fail(first, *wrong);
            continue;
        }
        current->values.push_back(std::move(v));
    }
    return parsed;
}

std::string RegFileFormat::write(const RegistryKey& roots) {
    std::ostringstream out;
    out << kHeader << " Version 5.00\r\n";
    std::function<void(const RegistryKey&, const std::string&)> emit = [&](const RegistryKey& k,
                                                                           const std::string& path) {
        // The hives themselves hold nothing; every stored key is below one.
        if (path.find('\\') != std::string::npos) {
            out << "\r\n[" << path << "]\r\n";
            for (const auto& v : k.values) writeValue(out, v);
        }
        for (const auto& [name, child] : k.subkeys)
            emit(*child, path.empty() ? child->name : path + "\\" + child->name);
    };
    emit(roots, "");
    return out.str();
}

std::string RegFileFormat::describe(const std::vector<RegParseError>& errors) {
    if (errors.empty()) return {};
    std::string text = "line " + std::to_string(errors.front().line) + ": " + errors.front().message;
    if (errors.size() > 1) text += " (and " + std::to_string(errors.size() - 1) + " more)";
    return text;
}

}  // namespace quenvor::platform
