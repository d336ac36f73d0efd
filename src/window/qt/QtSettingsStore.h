#pragma once
#include <QString>

#include "platform/ISettingsStore.h"

namespace quenvor::window {

// Settings in an INI file per application: $XDG_CONFIG_HOME/<app>/<app>.conf on Linux (the
// registry on Windows), one group per section. A file that cannot be parsed is copied aside
// before the first write over it, since the write keeps only what could be read.
class QtSettingsStore : public platform::ISettingsStore {
public:
    std::string read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    platform::Status write(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& value) override;
    std::string takeSetAsideCopy() override;

private:
    std::string m_setAside;
};

}  // namespace quenvor::window
