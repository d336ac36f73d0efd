#pragma once
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <utility>

namespace quenvor::platform {

// What the running processes hold: files in use must not be removed from under them.
class IProcessTable {
public:
    virtual ~IProcessTable() = default;
    // (device, inode) of every file some process has open, as far as we can see.
    virtual std::set<std::pair<std::uint64_t, std::uint64_t>> openFiles() = 0;
    virtual std::uint32_t currentUserId() = 0;
    virtual std::string currentUserName() = 0;
    // True when another process holds a lock on the file (a running program's lock file).
    // A lock file left behind by a program that has ended does not count.
    virtual bool lockedByAnother(const std::filesystem::path& file) = 0;
    // This machine's name, as programs write it into their lock links.
    virtual std::string hostName() = 0;
    // True while a process with this id exists (another user's included).
    virtual bool processAlive(std::int64_t pid) = 0;
    // This program's own process id; 0 where it cannot be told.
    virtual std::int64_t currentProcessId() { return 0; }
    // True while a process of the current user runs the program of this file name
    // ("soffice.bin"), for programs whose lock files name no process. A system that cannot
    // tell answers false, as a missing process table does for the other checks.
    virtual bool programRunning(const std::string& /*program*/) { return false; }
};

}  // namespace quenvor::platform
