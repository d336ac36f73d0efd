#pragma once
// A made-up home folder for one test, with the real Linux services pointed at it: the XDG
// places, the registry store, profiles.ini reading, files and the process table. Nothing
// reaches the real user's home.
#include <filesystem>
#include <map>
#include <string>

#include "platform/IniProfileReader.h"
#include "platform/RegistryStore.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxProcessTable.h"
#include "support/TempDir.h"

namespace quenvor::test {

class FakeHome {
public:
    TempDir dir;
    std::filesystem::path home = dir / "home";
    std::filesystem::path tmp = dir / "tmp";
    // The environment the known folders read: only HOME and TMPDIR, so every XDG place takes
    // its default below `home`.
    std::map<std::string, std::string> env{{"HOME", home.string()}, {"TMPDIR", tmp.string()}};
    platform::LinuxKnownFolders folders{[this](const char* n) -> const char* {
        auto it = env.find(n);
        return it == env.end() ? nullptr : it->second.c_str();
    }};
    platform::RegistryStore registry{dir / "registry.reg", &folders};
    platform::IniProfileReader ini;
    platform::LinuxFileService files;
    platform::LinuxProcessTable processes;
};

}  // namespace quenvor::test
