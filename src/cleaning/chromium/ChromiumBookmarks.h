#pragma once
// The addresses a Chromium-family profile keeps as bookmarks, read from its "Bookmarks" file:
// every "url" member at any depth of the tree, whatever folder holds it.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quenvor::cleaning::chromium {

class ChromiumBookmarks {
public:
    // Sorted, each once. No file is no bookmark; a file that cannot be read or is not well-formed
    // is nothing, as it may keep any address.
    static std::optional<std::vector<std::string>> urls(const std::filesystem::path& bookmarksFile);
};

}  // namespace quenvor::cleaning::chromium
