#pragma once
// Whether a Chromium-family browser is using its folder. While it runs it keeps "SingletonLock"
// there, a symbolic link to "<host>-<pid>"; after a crash the link stays behind, so it counts
// only when the host is this machine and that process still lives, or, for a sandboxed browser
// whose id is its sandbox's, while some process holds one of the folder's stores open.
#include <filesystem>

namespace quenvor::platform {
class IFileService;
class IProcessTable;
}  // namespace quenvor::platform

namespace quenvor::cleaning::chromium {

class ChromiumRunning {
public:
    // Without a process table nothing can be told running, as for Firefox.
    static bool running(const std::filesystem::path& root, platform::IFileService& files,
                        platform::IProcessTable* processes);

private:
    static bool storesOpen(const std::filesystem::path& root, platform::IFileService& files,
                           platform::IProcessTable& processes);
};

}  // namespace quenvor::cleaning::chromium
