#pragma once
// The mounts table as the kernel writes it (/proc/self/mountinfo), and the option lists of the
// filesystems in it: which mount shows a file, of what type, from what source, with what options.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quenvor::platform {

class MountTable {
public:
    struct Entry {
        int mountId = 0;
        unsigned major = 0;
        unsigned minor = 0;
        std::string root;  // the folder of the filesystem shown at the mount point
        std::string mountPoint;
        std::string fsType;  // "ext4", "fuse.sshfs"
        std::string source;  // "/dev/sda2", "server:/export"
        std::string superOptions;
    };

    // Lines in the format of /proc/self/mountinfo; malformed lines are skipped.
    static MountTable parse(std::string_view text);
    // The table in that file; empty when it cannot be read.
    static MountTable read(const std::filesystem::path& mountInfo);

    const std::vector<Entry>& entries() const { return m_entries; }
    // The mount with that id when there is one, otherwise one that shows the device: bind mounts
    // of the same filesystem share its options, so any of them answers.
    const Entry* find(std::uint64_t dev, std::optional<int> mountId) const;

    // Whether a comma-separated option list holds exactly `wanted`.
    static bool hasOption(std::string_view options, std::string_view wanted);
    // ext4's own comma-separated list of the options in effect, the defaults stored in its
    // superblock included, under the kernel's name of the block device `dev`; empty when absent.
    static std::string ext4Options(const std::filesystem::path& sysRoot, const std::filesystem::path& procFs,
                                   std::uint64_t dev);

    // The layers an overlay's options name, as the mounts table shows them.
    struct OverlayLayers {
        std::filesystem::path upper;                // empty for a read-only overlay
        std::vector<std::filesystem::path> lowers;  // the topmost first
        bool metacopy = false;                      // an upper file may hold only the attributes, its data still below
    };
    static OverlayLayers overlayLayers(std::string_view superOptions);

private:
    std::vector<Entry> m_entries;
};

}  // namespace quenvor::platform
