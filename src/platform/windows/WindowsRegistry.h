#pragma once
// The real registry through the advapi32 wide functions. Names and string values cross the
// seam as UTF-8 (REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data included, with their NULs), as
// the store of the other systems keeps them; the return codes are the system's own.
#include "platform/IRegistry.h"

namespace quenvor::platform::windows {

class WindowsRegistry : public IRegistry {
public:
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
};

}  // namespace quenvor::platform::windows
