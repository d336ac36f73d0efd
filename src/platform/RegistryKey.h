#pragma once
// One key of the per-user registry store: its subkeys by name, its typed values in the order
// they were set. Key and value names compare without case, as the registry's do.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quenvor::platform {

struct NoCaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    }
};

inline bool sameName(const std::string& a, const std::string& b) { return !NoCaseLess()(a, b) && !NoCaseLess()(b, a); }

struct RegistryValue {
    std::string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

struct RegistryKey {
    std::string name;  // as first written; lookups ignore case
    std::map<std::string, std::unique_ptr<RegistryKey>, NoCaseLess> subkeys;
    std::vector<RegistryValue> values;

    RegistryKey& child(const std::string& childName) {
        auto& slot = subkeys[childName];
        if (!slot) {
            slot = std::make_unique<RegistryKey>();
            slot->name = childName;
        }
        return *slot;
    }
};

// "A\\B\\\\C" as {"A", "B", "C"}: empty parts are ignored, as the registry API does.
inline std::vector<std::string> splitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

}  // namespace quenvor::platform
