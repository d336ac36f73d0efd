#pragma once
// A per-user registry of our own where the system has none: keys and typed values kept in one
// file in the registry editor's export format, read on first use and written atomically after
// every change. The shell's folder key is answered from the desktop's own folders.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/IRegistry.h"
#include "platform/Result.h"

namespace quenvor::platform {

class IKnownFolders;

class RegistryStore : public IRegistry {
public:
    RegistryStore(std::filesystem::path file, IKnownFolders* folders);
    ~RegistryStore() override;

    long openKey(RegKey parent, const std::string& subKey, RegKey& opened) override;
    long createKey(RegKey parent, const std::string& subKey, RegKey& opened, bool* existed = nullptr) override;
    long closeKey(RegKey key) override;
    long queryValue(RegKey key, const std::string& name, std::uint32_t& type, std::vector<std::uint8_t>& data,
                    std::uint32_t& size) override;
    long setValue(RegKey key, const std::string& name, std::uint32_t type,
                  const std::vector<std::uint8_t>& data) override;
    long deleteKey(RegKey parent, const std::string& subKey) override;
    long deleteValue(RegKey key, const std::string& name) override;
    long enumKey(RegKey key, std::uint32_t index, std::string& name) override;
    long enumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type) override;

    // The text of the store as it would be saved; parse() reads it back.
    std::string serialize();
    Status parse(const std::string& text);
    const std::filesystem::path& file() const { return m_file; }

    struct Key;

private:
    struct Value {
        std::string name;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };
    Key* resolve(RegKey parent, const std::string& subKey, bool create, bool* existed, std::string* fullPath);
    std::vector<Value> valuesOf(RegKey key);
    void load();
    long save();

    std::filesystem::path m_file;
    IKnownFolders* m_folders;
    std::unique_ptr<Key> m_roots;
    std::unique_ptr<Key> m_virtualKeyStorage;
    Key& m_virtualKey;                     // what an unstored shell-folder key reads as: no subkeys, no stored values
    std::map<RegKey, std::string> m_open;  // handle -> full path ("HKEY_CURRENT_USER\\...")
    RegKey m_nextHandle = 1;
    bool m_loaded = false;
};

}  // namespace quenvor::platform
