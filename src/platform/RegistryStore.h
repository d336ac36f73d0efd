#pragma once
// A per-user registry of our own where the system has none: a tree of keys and typed values
// kept in one file (RegFileFormat), read on first use and written atomically after every
// change. The shell's folder key is answered from the desktop's own folders.
//
// A file that cannot be read whole is never saved over: it is renamed aside with a timestamp
// (registry.reg.damaged-YYYYMMDD-HHMMSS), the readable part becomes the store, and damage()
// says so. When it cannot be moved aside, every change is refused instead.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/IRegistry.h"
#include "platform/RegistryKey.h"
#include "platform/ShellFolderValues.h"

namespace quenvor::platform {

class IKnownFolders;

class RegistryStore : public IRegistry {
public:
    RegistryStore(std::filesystem::path file, IKnownFolders* folders);
    ~RegistryStore() override;

    [[nodiscard]] long openKey(RegKey parent, const std::string& subKey, RegKey& opened) override;
    [[nodiscard]] long createKey(RegKey parent, const std::string& subKey, RegKey& opened,
                                 bool* existed = nullptr) override;
    [[nodiscard]] long closeKey(RegKey key) override;
    [[nodiscard]] long queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                  std::vector<std::uint8_t>& data, std::uint32_t& size) override;
    [[nodiscard]] long setValue(RegKey key, const std::string& name, std::uint32_t type,
                                const std::vector<std::uint8_t>& data) override;
    [[nodiscard]] long deleteKey(RegKey parent, const std::string& subKey) override;
    [[nodiscard]] long deleteTree(RegKey parent, const std::string& subKey) override;
    [[nodiscard]] long deleteValue(RegKey key, const std::string& name) override;
    [[nodiscard]] long enumKey(RegKey key, std::uint32_t index, std::string& name) override;
    [[nodiscard]] long enumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type) override;
    std::optional<StoreDamage> damage() override;

    const std::filesystem::path& file() const { return m_file; }

private:
    RegistryKey* resolve(RegKey parent, const std::string& subKey, bool create, bool* existed, std::string* fullPath);
    std::vector<RegistryValue> valuesOf(RegKey key);
    [[nodiscard]] long removeKey(RegKey parent, const std::string& subKey, bool withSubkeys);
    void load();
    void setAside(std::string detail, std::size_t line = 0);
    [[nodiscard]] long save();

    std::filesystem::path m_file;
    ShellFolderValues m_shellFolders;
    std::unique_ptr<RegistryKey> m_roots;
    RegistryKey m_virtualKey;              // what an unstored shell-folder key reads as: no subkeys, no stored values
    std::map<RegKey, std::string> m_open;  // handle -> full path ("HKEY_CURRENT_USER\\...")
    RegKey m_nextHandle = 1;
    bool m_loaded = false;
    bool m_readOnly = false;  // the damaged file is still in place: a save would drop its unreadable part
    std::optional<StoreDamage> m_damage;
};

}  // namespace quenvor::platform
