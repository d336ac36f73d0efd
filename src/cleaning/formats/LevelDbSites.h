#pragma once
// The entries of sites in one of Chromium's LevelDB stores shared by every site and extension:
// "Local Storage/leveldb" and "Session Storage". find() reads the store and changes no entry
// (opening a store, LevelDB may move entries between its own files); remove() deletes exactly
// what find() gave, then compacts the whole store and writes its list of files afresh, so that
// the removed entries linger neither in old tables, nor in the log, nor in that list, and checks
// that the files from before are gone or hold none of them.
//
// Only web sites' entries (http and https origins) can go; an extension's, the browser's own
// and any key that cannot be told whose it is stay. In Session Storage a site's values live in
// maps that several tabs may share: a map goes only when every tab entry pointing to it goes.
//
// The store is opened only when nothing else has it open (LevelDB's own lock refuses a store in
// use, which is a failure); a damaged store or one holding a link is named, never repaired,
// followed or removed.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Result.h"

namespace quenvor::cleaning::formats {

class LevelDbSites {
public:
    enum class Kind { LocalStorage, SessionStorage };

    // Whether a site's entries go, given its origin ("https://example.com:8443"), without the
    // top-level site a partitioned entry is stored under.
    using Goes = std::function<bool(std::string_view origin)>;

    struct Found {
        std::filesystem::path folder;
        Kind kind = Kind::LocalStorage;
        std::vector<std::string> keys;      // exactly what remove() deletes
        std::set<std::string> origins;      // the sites whose entries go, for a full list
        std::set<std::string> keptOrigins;  // sites that had entries and keep them
        std::uint64_t items = 0;            // stored values that go
        std::uint64_t bytes = 0;            // their keys and values, with the entries describing them
        bool empty() const { return keys.empty(); }
    };

    // Nothing found (and no failure) when the store does not exist.
    static platform::Result<Found> find(const std::filesystem::path& folder, Kind kind, const Goes& goes);
    static platform::Status remove(const Found& found);

    // The origin a key of the store belongs to; empty for a key of the store itself or one that
    // cannot be attributed. A Session Storage map key gives its map number in `map` instead.
    struct Parsed {
        std::string origin;  // as stored, the partition suffix cut off
        std::string map;     // Session Storage: the map a tab entry points to, or the map a value is in
        enum class Role { Store, Meta, Value, Tab, Unknown } role = Role::Unknown;
    };
    static Parsed parse(Kind kind, std::string_view key, std::string_view value);
    // True for an origin of a web site: the only ones that can go.
    static bool isSite(std::string_view origin);
};

}  // namespace quenvor::cleaning::formats
