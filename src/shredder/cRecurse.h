#pragma once
// Lists every file below a folder, depth first: a folder's files, then for each subfolder
// (with the pattern "*.*") an empty entry and the subfolder's path, its files and its own
// subfolders. Symbolic links are listed as entries, never followed, and the walk does not
// enter another mounted filesystem. It goes from open folder to open folder: a subfolder is
// entered only if what opens under its name is the folder the listing saw there.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "shredder/RecurseList.h"

namespace quenvor::platform {
class IDirectory;
class IFileService;
struct DirectoryEntry;
}  // namespace quenvor::platform

namespace quenvor::shredder {

constexpr const char* kAllFixedDisks = "all fixed disks/partitions";

class cRecurse {
public:
    struct NotEntered {
        std::string path;
        std::string reason;  // "mount point", or the system's words for a failed listing
        bool mountPoint = false;
        bool changed = false;  // it was replaced (by a link or another folder) after it was listed
    };

    // One entry met by the walk, as the listing gave it, with the open folder that holds it. A
    // subfolder is met once it has been entered, with `folder` the subfolder itself; its
    // entries follow.
    struct Found {
        platform::IDirectory& folder;
        const platform::DirectoryEntry& entry;
        const std::string& path;
        bool enteredFolder = false;
    };
    // Returning false ends the walk.
    using Visitor = std::function<bool(const Found&)>;

    explicit cRecurse(platform::IFileService& files, std::function<void()> processEvents = {});

    RecurseList Recurse(const std::string& StartDir, const std::string& FileTypes);
    std::string sGetShortName(const std::string& szPath);

    // Meets every entry below the start, in the order of Recurse's list. False when the visitor
    // ended the walk.
    bool visit(const std::string& StartDir, const Visitor& visitor);
    // The same from a folder already open (one held since the user chose it), named `path` in
    // what is met: nothing is looked up by path, so the walk stays in that folder wherever it
    // is moved meanwhile.
    bool visit(platform::IDirectory& start, const std::string& path, const Visitor& visitor);

    // Folders below the start that the last walk could not or would not enter.
    const std::vector<NotEntered>& notEntered() const { return m_notEntered; }

private:
    struct Mount {
        std::uint64_t device = 0;
        std::uint64_t id = 0;  // 0: not known
    };
    bool walk(platform::IDirectory& folder, const std::string& path, Mount mount, const Visitor& visitor);
    bool walkFrom(platform::IDirectory& start, std::string path, const Visitor& visitor);

    platform::IFileService& m_files;
    std::function<void()> m_processEvents;
    std::vector<NotEntered> m_notEntered;
};

}  // namespace quenvor::shredder
