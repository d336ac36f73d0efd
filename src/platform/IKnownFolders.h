#pragma once
#include <filesystem>

namespace quenvor::platform {

// Where the system and the desktop keep things for the current user.
class IKnownFolders {
public:
    virtual ~IKnownFolders() = default;
    virtual std::filesystem::path programFolder() = 0;  // the running executable's folder
    // The running executable itself, or empty where it cannot be told.
    virtual std::filesystem::path programFile() { return {}; }
    virtual std::filesystem::path temporaryFolder() = 0;
    virtual std::filesystem::path homeFolder() = 0;
    virtual std::filesystem::path configHome() = 0;
    virtual std::filesystem::path cacheHome() = 0;
    virtual std::filesystem::path dataHome() = 0;
    virtual std::filesystem::path stateHome() = 0;
    // Where Chrome and its kin keep their settings instead of configHome(); empty when unset.
    virtual std::filesystem::path chromeConfigHome() = 0;
};

}  // namespace quenvor::platform
