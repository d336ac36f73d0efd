#pragma once
// The user's folders as the shell names them (SHGetKnownFolderPath), the temporary folder as
// GetTempPathW gives it. What the XDG names mean elsewhere maps onto the roaming and local
// application-data folders here.
#include "platform/IKnownFolders.h"

namespace quenvor::platform::windows {

class WindowsKnownFolders : public IKnownFolders {
public:
    std::filesystem::path programFolder() override;
    std::filesystem::path programFile() override;
    std::filesystem::path temporaryFolder() override;
    std::filesystem::path homeFolder() override;  // the profile folder, %USERPROFILE%
    std::filesystem::path configHome() override;  // roaming application data, %APPDATA%
    std::filesystem::path cacheHome() override;   // local application data, %LOCALAPPDATA%
    std::filesystem::path dataHome() override;    // roaming application data
    std::filesystem::path stateHome() override;   // local application data
    // Windows has no such setting: Chromium's browsers keep to local application data.
    std::filesystem::path chromeConfigHome() override { return {}; }
};

}  // namespace quenvor::platform::windows
