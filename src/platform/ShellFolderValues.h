#pragma once
// The shell's folder key answered from the desktop's own folders: "AppData", "Local AppData"
// and "Recent" are where this desktop keeps them, "History" does not exist here. The key (and
// every key above it) always exists, stored or not.
#include <string>
#include <vector>

#include "platform/RegistryKey.h"

namespace quenvor::platform {

class IKnownFolders;

class ShellFolderValues {
public:
    explicit ShellFolderValues(IKnownFolders* folders) : m_folders(folders) {}

    // True for the key's path parts ({"HKEY_CURRENT_USER", "Software", ...}) and those above it.
    static bool alwaysExists(const std::vector<std::string>& parts);
    static bool isShellFolderKey(const std::string& fullPath);
    // The stored values of the key with the desktop's answers in place of their names.
    std::vector<RegistryValue> answer(std::vector<RegistryValue> stored) const;

private:
    IKnownFolders* m_folders;
};

}  // namespace quenvor::platform
