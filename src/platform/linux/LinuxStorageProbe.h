#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/IStorageProbe.h"
#include "platform/linux/MountTable.h"

namespace quenvor::platform {

// Answers from fstatfs, FS_IOC_GETFLAGS and FS_IOC_FIEMAP on the open file, plus the
// options of its filesystem from the mounts table and, for ext4, from the filesystem's own
// list, which also holds the defaults stored in its superblock (read once per filesystem).
// On an overlay a file of the upper layer is judged by the filesystem that holds that layer.
class LinuxStorageProbe : public IStorageProbe {
public:
    // The paths are seams for tests; the defaults are the running system's.
    explicit LinuxStorageProbe(std::filesystem::path mountInfo = "/proc/self/mountinfo",
                               std::filesystem::path sysRoot = "/sys", std::filesystem::path procFs = "/proc/fs");

    Result<StorageVerdict> examine(std::intptr_t nativeHandle) override;
    StorageVerdict verify(std::intptr_t nativeHandle, const StorageVerdict& before) override;
    Result<StorageVerdict> examinePath(const std::filesystem::path& p) override;
    DeviceKind device(const std::filesystem::path& p) override;
    Result<FileLayer> layerOf(std::intptr_t folderHandle, const std::string& name) override;

    struct RawExtent {
        ExtentRange range;
        std::uint32_t flags = 0;  // FIEMAP_EXTENT_*
    };
    // Everything the verdict depends on, gathered from the system.
    struct Facts {
        std::uint64_t magic = 0;   // f_type of fstatfs
        std::string fsType;        // from the mounts table; empty when it was not found
        std::string superOptions;  // likewise
        // ext4's own list of the options in effect, defaults from the superblock included: a
        // journal mode set with tune2fs is in force without appearing in the mounts table.
        std::string fsOptions;
        bool directory = false;
        std::uint64_t size = UINT64_MAX;  // only bytes below it can hold old contents
        bool flagsKnown = false;
        std::uint32_t flags = 0;  // FS_*_FL
        bool extentsKnown = false;
        std::vector<RawExtent> extents;
        std::string extentError;  // why the block map could not be read
    };
    static StorageVerdict judge(const Facts& facts);
    // True when some byte that lay at a place in `before` no longer lies there in `after`:
    // the passes went elsewhere and the old place was not overwritten.
    static bool extentsMoved(const std::vector<ExtentRange>& before, const std::vector<ExtentRange>& after);

private:
    struct MountFacts {
        std::string fsType;
        std::string superOptions;
        std::string fsOptions;
    };
    std::optional<MountFacts> mountOf(int fd, std::uint64_t dev, std::uint64_t fsid, std::uint64_t magic);
    // Where an open file or folder lies inside its overlay.
    struct OverlayPlace {
        MountTable::OverlayLayers layers;
        std::filesystem::path relative;  // from the overlay's root, without a leading slash
    };
    Result<OverlayPlace> overlayPlace(int fd);
    struct Layered {
        FileLayer layer = FileLayer::Lower;
        bool originalBelow = false;  // an upper file copied up from a lower one, which stays there
    };
    static Result<Layered> layerAt(const OverlayPlace& place);
    // The facts of the filesystem that holds the upper layer, in place of the overlay's.
    void judgeAsUpper(const MountTable::OverlayLayers& layers, Facts& facts);

    std::filesystem::path m_mountInfo;
    std::filesystem::path m_sysRoot;
    std::filesystem::path m_procFs;
    std::mutex m_mutex;
    // Keyed by device, filesystem id and type: a loop device reused by a new filesystem
    // must not inherit the options of the one before. Read again after a while, since the same
    // disk can be unplugged and mounted again with other options under the same key.
    struct CachedMount {
        std::optional<MountFacts> facts;
        std::chrono::steady_clock::time_point readAt;
    };
    std::map<std::tuple<std::uint64_t, std::uint64_t, std::uint64_t>, CachedMount> m_mounts;
    // The overlay's entry, by device and mount: asked for every file of a folder being shredded.
    struct CachedEntry {
        std::optional<MountTable::Entry> entry;
        std::chrono::steady_clock::time_point readAt;
    };
    std::map<std::pair<std::uint64_t, int>, CachedEntry> m_overlays;
};

}  // namespace quenvor::platform
