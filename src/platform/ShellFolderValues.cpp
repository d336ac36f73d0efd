#include "platform/ShellFolderValues.h"

#include <filesystem>

#include "platform/IKnownFolders.h"
#include "platform/IRegistry.h"
#include "platform/Utf8Path.h"

namespace quenvor::platform {
namespace {

const std::string& shellFolderPath() {
    static const std::string path = std::string("HKEY_CURRENT_USER\\") + kShellFoldersKey;
    return path;
}

void drop(std::vector<RegistryValue>& values, const std::string& name) {
    std::erase_if(values, [&](const RegistryValue& v) { return sameName(v.name, name); });
}

}  // namespace

bool ShellFolderValues::alwaysExists(const std::vector<std::string>& parts) {
    static const auto shell = splitKeyPath(shellFolderPath());
    return parts.size() <= shell.size() && std::equal(parts.begin(), parts.end(), shell.begin(), sameName);
}

bool ShellFolderValues::isShellFolderKey(const std::string& fullPath) { return sameName(fullPath, shellFolderPath()); }

std::vector<RegistryValue> ShellFolderValues::answer(std::vector<RegistryValue> values) const {
    if (!m_folders) return values;
    auto overlay = [&](const std::string& name, const std::filesystem::path& p) {
        drop(values, name);
        const std::string text = utf8Of(p);
        std::vector<std::uint8_t> data(text.begin(), text.end());
        data.push_back(0);
        values.push_back({name, kRegSz, std::move(data)});
    };
    overlay("AppData", m_folders->configHome());
    overlay("Local AppData", m_folders->cacheHome());
    overlay("Recent", m_folders->dataHome() / "RecentDocuments");
    // No system-wide history folder exists here: "History" stays absent.
    drop(values, "History");
    return values;
}

}  // namespace quenvor::platform
