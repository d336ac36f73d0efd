#pragma once
// LevelDB stores written and read through the library itself, as Chromium keeps its local and
// session storage, and every byte of a store's files for checking what is left in them.
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace quenvor::test {

class LevelDbFixture {
public:
    using Entries = std::vector<std::pair<std::string, std::string>>;
    // Creates the store if needed and puts the entries into it; the store is closed again.
    static void write(const std::filesystem::path& folder, const Entries& entries);
    // Every entry, or an empty map when the store cannot be opened (which fails the test).
    static std::map<std::string, std::string> read(const std::filesystem::path& folder);
    // The files of the folder, one after the other.
    static std::string bytes(const std::filesystem::path& folder);
    // Text as the browser stores it in Session Storage: UTF-16, low byte first.
    static std::string utf16(const std::string& ascii);

    // Chromium's own layout, with a tab id as the browser makes them.
    static constexpr const char* kTab = "0a1b2c3d_4e5f_4a6b_8c7d_9e0f1a2b3c4d";
    static std::string localValue(const std::string& origin, const std::string& key) {
        return "_" + origin + std::string(1, '\0') + "\x01" + key;
    }
    static std::string tabEntry(const std::string& tab, const std::string& origin) {
        return "namespace-" + tab + "-" + origin + "/";
    }
};

}  // namespace quenvor::test
