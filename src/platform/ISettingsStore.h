#pragma once
#include <string>

#include "platform/Result.h"

namespace quenvor::platform {

// The per-user settings store: string values addressed by application, section and key.
class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    virtual std::string read(const std::string& app, const std::string& section, const std::string& key,
                             const std::string& fallback) = 0;
    virtual Status write(const std::string& app, const std::string& section, const std::string& key,
                         const std::string& value) = 0;
};

}  // namespace quenvor::platform
