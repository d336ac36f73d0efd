#pragma once
#include <functional>
#include <string>

#include "platform/IKnownFolders.h"

namespace quenvor::platform {

// Folders from the XDG base-directory variables, with their documented defaults.
class LinuxKnownFolders : public IKnownFolders {
public:
    using Getenv = std::function<const char*(const char*)>;
    LinuxKnownFolders();
    explicit LinuxKnownFolders(Getenv getenv, std::filesystem::path exe = {});

    std::filesystem::path programFolder() override;
    std::filesystem::path programFile() override;
    std::filesystem::path temporaryFolder() override;
    std::filesystem::path homeFolder() override;
    std::filesystem::path configHome() override;
    std::filesystem::path cacheHome() override;
    std::filesystem::path dataHome() override;
    std::filesystem::path stateHome() override;
    std::filesystem::path chromeConfigHome() override;

private:
    std::filesystem::path xdg(const char* var, const char* fallbackBelowHome);
    Getenv m_getenv;
    std::filesystem::path m_exe;
};

}  // namespace quenvor::platform
