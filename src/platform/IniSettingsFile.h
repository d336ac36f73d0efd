#pragma once
// The settings file the Qt window writes on Linux (QSettings' INI format), read without Qt, so
// that a program without a window reads the choices the user made in it. Only reads: the
// window owns the file and its format.
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "platform/ISettingsStore.h"

namespace quenvor::platform {

class IniSettingsFile : public ISettingsStore {
public:
    explicit IniSettingsFile(std::filesystem::path file) : m_file(std::move(file)) {}

    // The file's value as QSettings would give it to toString(): quotes and escapes undone, "@@"
    // read as "@"; a list of several values, or a value of another type, is no text and reads
    // as `fallback`, as the window would read it.
    std::string read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    Status write(const std::string& app, const std::string& section, const std::string& key,
                 const std::string& value) override;

    // One value as QSettings writes it (the part after "="); nullopt for what is no text.
    static std::optional<std::string> unescape(const std::string& raw);
    // A section or key name as written ("%XX" for bytes outside letters and digits, "\" for "/").
    static std::string unescapeName(const std::string& raw);

    const std::filesystem::path& file() const { return m_file; }

private:
    void load();

    std::filesystem::path m_file;
    bool m_loaded = false;
    std::map<std::pair<std::string, std::string>, std::string> m_raw;  // (section, key) -> raw value
};

}  // namespace quenvor::platform
