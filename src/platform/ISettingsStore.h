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
    // A store that found its file unreadable keeps a copy of it before writing it anew; the
    // first call after that names the copy, every other call gives an empty text.
    virtual std::string takeSetAsideCopy() { return {}; }
};

}  // namespace quenvor::platform
