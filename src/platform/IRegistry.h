#pragma once
// A hierarchical per-user store of keys and typed values with the semantics (and return
// codes) of the Windows registry API.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quenvor::platform {

using RegKey = std::uintptr_t;  // 0 is never a valid open key

enum RegRoot : RegKey {
    kClassesRoot = 0x80000000u,
    kCurrentUser = 0x80000001u,
    kLocalMachine = 0x80000002u,
    kUsers = 0x80000003u,
    kCurrentConfig = 0x80000005u,
};

enum RegType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegDwordBigEndian = 5,
    kRegMultiSz = 7,
};

enum RegCode : long {
    kErrorSuccess = 0,
    kErrorFileNotFound = 2,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorInvalidParameter = 87,
    kErrorMoreData = 234,
    kErrorNoMoreItems = 259,
};

// The shell's key of per-user folders ("AppData", "Local AppData", "Recent", "History").
constexpr const char* kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// What a store that could not be read whole did with its file.
struct StoreDamage {
    std::filesystem::path file;    // the store
    std::filesystem::path keptAs;  // its original text, set aside (the store itself when it could not be moved)
    std::size_t line = 0;          // the first line that could not be read; 0 when the file could not be read at all
    std::string detail;            // what was wrong, in the system's words
};

class IRegistry {
public:
    virtual ~IRegistry() = default;
    [[nodiscard]] virtual long openKey(RegKey parent, const std::string& subKey, RegKey& opened) = 0;
    // `existed` (when given) tells whether the key was there already.
    [[nodiscard]] virtual long createKey(RegKey parent, const std::string& subKey, RegKey& opened,
                                         bool* existed = nullptr) = 0;
    [[nodiscard]] virtual long closeKey(RegKey key) = 0;
    // On entry `size` is the room the caller offers; on return the size the value needs.
    // ERROR_MORE_DATA when the room is too small (data then untouched).
    [[nodiscard]] virtual long queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                          std::vector<std::uint8_t>& data, std::uint32_t& size) = 0;
    [[nodiscard]] virtual long setValue(RegKey key, const std::string& name, std::uint32_t type,
                                        const std::vector<std::uint8_t>& data) = 0;
    // A key with subkeys stays: that takes deleteTree.
    [[nodiscard]] virtual long deleteKey(RegKey parent, const std::string& subKey) = 0;
    // The key with every subkey and value below it.
    [[nodiscard]] virtual long deleteTree(RegKey parent, const std::string& subKey) = 0;
    [[nodiscard]] virtual long deleteValue(RegKey key, const std::string& name) = 0;
    [[nodiscard]] virtual long enumKey(RegKey key, std::uint32_t index, std::string& name) = 0;
    [[nodiscard]] virtual long enumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type) = 0;
    // Set when the store's file could not be read whole; what it held beyond the readable part
    // was then neither answered nor cleaned.
    virtual std::optional<StoreDamage> damage() { return std::nullopt; }
};

}  // namespace quenvor::platform
