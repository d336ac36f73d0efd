#pragma once
// Removes a folder and everything left in it, read-only entries included, without following
// a symbolic link (a link is removed as a link), without entering another mounted filesystem,
// and leaving in place the paths it is told to keep, with the folders that hold them.
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace quenvor::platform {
class IFileService;
}

namespace quenvor::shredder {

class FolderRemover {
public:
    struct Failure {
        std::string path;
        std::string detail;
    };

    explicit FolderRemover(platform::IFileService& files) : m_files(files) {}
    // Failures to remove what was not to be kept.
    std::vector<Failure> removeTree(const std::filesystem::path& root, const std::set<std::string>& keep);

private:
    bool removeBelow(const std::filesystem::path& dir, std::uint64_t device, const std::set<std::string>& keep,
                     std::vector<Failure>& failures);
    bool removeOne(const std::filesystem::path& p, std::vector<Failure>& failures);

    platform::IFileService& m_files;
};

}  // namespace quenvor::shredder
