#pragma once
// Lists every file below a folder, depth first: a folder's files, then for each subfolder
// (with the pattern "*.*") an empty entry and the subfolder's path, its files and its own
// subfolders. Symbolic links are listed as entries, never followed, and the walk does not
// enter another mounted filesystem.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "shredder/RecurseList.h"

namespace quenvor::platform {
class IFileService;
}

namespace quenvor::shredder {

constexpr const char* kAllFixedDisks = "all fixed disks/partitions";

class cRecurse {
public:
    struct NotEntered {
        std::string path;
        std::string reason;  // "mount point", or the system's words for a failed listing
        bool mountPoint = false;
    };

    explicit cRecurse(platform::IFileService& files, std::function<void()> processEvents = {});

    RecurseList Recurse(const std::string& StartDir, const std::string& FileTypes);
    std::string sGetShortName(const std::string& szPath);

    // Folders below the start that the last walk could not or would not enter.
    const std::vector<NotEntered>& notEntered() const { return m_notEntered; }

private:
    void walk(const std::filesystem::path& folder, const std::string& pattern, std::uint64_t device,
              std::vector<std::string>& out);

    platform::IFileService& m_files;
    std::function<void()> m_processEvents;
    std::vector<NotEntered> m_notEntered;
};

}  // namespace quenvor::shredder
