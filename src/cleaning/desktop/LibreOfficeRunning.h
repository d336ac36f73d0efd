#pragma once
// Whether LibreOffice is using a user profile folder ("~/.config/libreoffice/4"). While it runs
// it keeps ".lock" there, a small settings file naming the machine and the user that started it
// ([Lockdata] Host=, User=) but no process; it removes the file when it ends, and a crash leaves
// it behind. The lock counts only when it was written on this machine by this user and a
// LibreOffice of this user is running; a lock from another machine sharing the home, or one
// left by a crash, does not.
#include <filesystem>
#include <optional>
#include <string>

namespace quenvor::platform {
class IFileService;
class IProcessTable;
}  // namespace quenvor::platform

namespace quenvor::cleaning::desktop {

class LibreOfficeRunning {
public:
    struct Lock {
        std::optional<std::string> host, user;
    };
    // Without a process table nothing can be told running, as for the browsers.
    static bool running(const std::filesystem::path& profile, platform::IFileService& files,
                        platform::IProcessTable* processes);
    // The machine and user a lock file names; either may be missing from a file cut short.
    static Lock parseLock(const std::string& text);
    // Whether the names a lock gives are this machine's and this user's, as LibreOffice spells
    // them on this system.
    static bool sameHost(const std::string& inLock, const std::string& ours);
    static bool sameUser(const std::string& inLock, const std::string& ours);
};

}  // namespace quenvor::cleaning::desktop
