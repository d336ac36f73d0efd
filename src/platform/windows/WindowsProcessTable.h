#pragma once
// What running programs hold, as far as Windows lets a user see it. There is no table of open
// files to read: a file is in use when opening it with no sharing at all fails with
// ERROR_SHARING_VIOLATION, which is also what stops its removal, so an open file is never
// taken from under its program.
#include "platform/IProcessTable.h"

namespace quenvor::platform::windows {

class WindowsProcessTable : public IProcessTable {
public:
    std::set<std::pair<std::uint64_t, std::uint64_t>> openFiles() override;  // always empty, see above
    // Files carry no owner number here: every file of the user's own folders is the user's.
    std::uint32_t currentUserId() override { return 0; }
    std::string currentUserName() override;
    std::string hostName() override;
    // A process we may not query is still running: only a missing one is not.
    bool processAlive(std::int64_t pid) override;
    std::int64_t currentProcessId() override;
    // A browser holds its lock file open without sharing while it runs.
    bool lockedByAnother(const std::filesystem::path& file) override;
    // By the file name of each process's program, in any case, as Windows compares names. Only
    // processes whose token names our own user count: another user's LibreOffice keeps another
    // profile, and a process we may not look into is not taken for ours.
    bool programRunning(const std::string& program) override;
};

}  // namespace quenvor::platform::windows
