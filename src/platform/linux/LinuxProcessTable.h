#pragma once
#include "platform/IProcessTable.h"

namespace quenvor::platform {

// Reads /proc/<pid>/fd of every process we may look at.
class LinuxProcessTable : public IProcessTable {
public:
    std::set<std::pair<std::uint64_t, std::uint64_t>> openFiles() override;
    std::uint32_t currentUserId() override;
    std::string currentUserName() override;
    bool lockedByAnother(const std::filesystem::path& file) override;
    std::string hostName() override;
    bool processAlive(std::int64_t pid) override;
    std::int64_t currentProcessId() override;
    bool programRunning(const std::string& program) override;
};

}  // namespace quenvor::platform
