#include "platform/IniProfileReader.h"
#include "platform/Utf8Path.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

namespace quenvor::platform {
namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

bool same(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::size_t IniProfileReader::read(const std::string& section, const std::string& key, const std::string& fallback,
                                   std::string& value, const std::filesystem::path& file) {
    value = fallback;
    std::ifstream in(file, std::ios::binary);
    if (!in) return value.size();
    std::string line, current;
    bool inSection = false;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[') {
            const auto end = t.find(']');
            inSection = end != std::string::npos && same(trim(t.substr(1, end - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos || !same(trim(t.substr(0, eq)), key)) continue;
        std::string v = trim(t.substr(eq + 1));
        if (v.size() >= 2 && ((v.front() == '"' && v.back() == '"') || (v.front() == '\'' && v.back() == '\'')))
            v = v.substr(1, v.size() - 2);
        value = v;
        return value.size();
    }
    return value.size();
}

Result<std::vector<std::string>> IniProfileReader::sections(const std::filesystem::path& file) {
    std::vector<std::string> out;
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in) return Error{errno, "cannot open " + utf8Of(file) + ": " + std::strerror(errno)};
    std::string line;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (!t.empty() && t.front() == '[') {
            const auto end = t.find(']');
            if (end != std::string::npos) out.push_back(trim(t.substr(1, end - 1)));
        }
    }
    // A read that stops early would pass the remaining profiles over as if there were none.
    if (in.bad())
        return Error{errno ? errno : EIO, "cannot read " + utf8Of(file) + ": " + std::strerror(errno ? errno : EIO)};
    return out;
}

}  // namespace quenvor::platform
