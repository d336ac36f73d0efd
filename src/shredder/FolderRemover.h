#pragma once
// Removes a folder and everything left in it, read-only entries included, without following
// a symbolic link (a link is removed as a link), without entering another mounted filesystem,
// and leaving in place the paths it is told to keep, with the folders that hold them. It goes
// from open folder to open folder, and removes a name only while it still refers to what was
// looked at: an entry replaced meanwhile is left alone and reported.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace quenvor::platform {
class IDirectory;
class IFileService;
struct FileStatus;
}  // namespace quenvor::platform

namespace quenvor::shredder {

class FolderRemover {
public:
    struct Failure {
        std::string path;
        std::string detail;
        bool changed = false;  // replaced by something else while the removal ran: left alone
    };

    // Given every entry but a folder that the removal finds and is not to keep (one that appeared
    // or moved in after the walk); true when it is gone afterwards. Without it such an entry is
    // unlinked.
    using UnlistedFile = std::function<bool(platform::IDirectory& folder, const std::string& name,
                                            const std::string& path, const platform::FileStatus& seen)>;

    explicit FolderRemover(platform::IFileService& files, UnlistedFile unlisted = {})
        : m_files(files), m_unlisted(std::move(unlisted)) {}
    // Failures to remove what was not to be kept.
    std::vector<Failure> removeTree(const std::filesystem::path& root, const std::set<std::string>& keep);
    // The same for a folder held open since it was chosen (`seen` as its parent's entry `name`
    // showed it then, `path` its name in what is reported): everything in it goes, then its
    // name in `parent`, only while that name still leads to it. A name that leads elsewhere by
    // then is left alone and reported as changed. Without a parent only its contents go. The
    // folder is let go of once emptied, before its name is touched: on Windows a folder held
    // open can be neither renamed nor removed.
    std::vector<Failure> removeHeld(platform::IDirectory* parent, const std::string& name,
                                    std::unique_ptr<platform::IDirectory> folder, const platform::FileStatus& seen,
                                    const std::string& path, const std::set<std::string>& keep);

private:
    struct Mount {
        std::uint64_t device = 0;
        std::uint64_t id = 0;  // 0: not known
    };
    bool removeBelow(platform::IDirectory& dir, const std::string& path, Mount mount, const std::set<std::string>& keep,
                     std::vector<Failure>& failures);
    bool removeOne(platform::IDirectory& dir, const std::string& name, const std::string& path,
                   const platform::FileStatus& seen, std::vector<Failure>& failures, bool insideChoice = true);

    platform::IFileService& m_files;
    UnlistedFile m_unlisted;
};

}  // namespace quenvor::shredder
