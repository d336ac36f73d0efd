#pragma once
// Replaces the name of an entry about to be removed, so the folder keeps as little of the old
// name as renaming can achieve: a random name of the same length, then ever shorter ones down
// to one character, the folder flushed once at the end. A flush after every step (as some
// peers do) changes nothing in the folder's own blocks, which are written in their final
// state either way, and puts a copy of the block, with the names of every other entry in it,
// into the journal for each step: ten times the names left on an ext4 image (docs/performance.md).
#include <string>

namespace quenvor::platform {
class IDirectory;
struct FileStatus;
}  // namespace quenvor::platform

namespace quenvor::shredder {

class NameWiper {
public:
    // The entry's name afterwards. It stops, keeping the name it has reached, as soon as that
    // name no longer refers to `entry`: whatever is there then is not ours to rename.
    static std::string wipe(platform::IDirectory& folder, const std::string& name, const platform::FileStatus& entry);
    // True while `name` in `folder` is still `entry` (same type, device and inode).
    static bool refersTo(platform::IDirectory& folder, const std::string& name, const platform::FileStatus& entry);
};

}  // namespace quenvor::shredder
