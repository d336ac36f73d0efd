#pragma once
// The places whose loss costs far more than the rest: the program itself, the folders that hold
// it, the home folder and the roots of the system and of each mounted filesystem. A choice that
// is one of them needs a second answer before it is shredded. Told apart by what the system
// says the path is now (device and inode), so another name for the same place is caught too.
// Nothing here asks the user anything: every front end asks in its own way.
#include <string>

namespace quenvor::platform {
class IFileService;
class IKnownFolders;
}  // namespace quenvor::platform

namespace quenvor::shredder {

enum class Protection {
    None,
    ProgramFile,    // the running program, under any of its names
    ProgramFolder,  // the folder that holds the program
    HoldsProgram,   // a folder above that one
    Home,           // the user's home folder
    SystemRoot,     // the root of the whole system
    MountRoot,      // the root of a mounted filesystem
};

class ProtectedPaths {
public:
    // Without `folders` only the roots are known.
    ProtectedPaths(platform::IFileService& files, platform::IKnownFolders* folders);

    // Which of those places `path` (UTF-8) is, as a file or as a folder; None for any other
    // place and for one that cannot be looked at (the shred itself then fails and says so).
    [[nodiscard]] Protection of(const std::string& path, bool folder) const;

private:
    platform::IFileService& m_files;
    platform::IKnownFolders* m_folders;
};

}  // namespace quenvor::shredder
