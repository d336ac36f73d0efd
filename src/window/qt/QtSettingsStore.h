#pragma once
#include <QString>

#include "platform/ISettingsStore.h"

namespace quenvor::window {

// Settings in an INI file per application: $XDG_CONFIG_HOME/<app>/<app>.conf on Linux (the
// registry on Windows), one group per section.
class QtSettingsStore : public platform::ISettingsStore {
public:
    std::string read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    platform::Status write(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& value) override;
};

}  // namespace quenvor::window
