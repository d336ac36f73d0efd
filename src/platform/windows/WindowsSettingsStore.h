#pragma once
// Settings in the current user's registry hive, one REG_SZ value per key under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>: where
// programs of this kind have always kept them, so values written by earlier versions are read.
#include "platform/ISettingsStore.h"

namespace quenvor::platform::windows {

class WindowsSettingsStore : public ISettingsStore {
public:
    static constexpr const char* kParentKey = "Software\\VB and VBA Program Settings";

    std::string read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    Status write(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value) override;
};

}  // namespace quenvor::platform::windows
