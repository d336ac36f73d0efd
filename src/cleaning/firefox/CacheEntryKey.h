#pragma once
// Reads the address an entry of Firefox's disk cache (a file in cache2/entries) was stored
// for. Only the entry's tail is read: the offset of its metadata, the metadata header and the key.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "cleaning/formats/EntryFile.h"

namespace quenvor::cleaning::firefox {

class CacheEntryKey {
public:
    // The key as stored ("a,:https://example.com/"), or nothing for a damaged entry; with
    // `facts`, the entry file's size and inode too.
    static std::optional<std::string> read(const std::filesystem::path& entry,
                                           formats::EntryFile::Facts* facts = nullptr);
    // The same from an entry file already open.
    static std::optional<std::string> read(formats::EntryFile& entry);
    // The same from the entry's bytes.
    static std::optional<std::string> parse(std::string_view bytes);
    // The address inside a key, without the tags before it ("O^partitionKey=…,", "a,", "~123,").
    static std::string address(const std::string& key);
};

}  // namespace quenvor::cleaning::firefox
