#pragma once
// What a folder shred does with each thing it finds below the chosen folder: regular files are
// shredded, names that hold nothing of the folder's (links, pipes, devices) are only removed, a
// file whose contents other names share is only unlinked, other filesystems are not entered,
// and what could not be shredded stays in place with the folders that hold it. Anything that
// changed under the run (an entry replaced by a link or by another file, a file put into a
// folder already walked) is left alone and named, or shredded like the rest, never removed
// unshredded. The words for each case belong to the page.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/IFileService.h"
#include "platform/IStorageProbe.h"
#include "shredder/ShredResult.h"

namespace quenvor::shredder {

class HeldChoice;
class cPattern;

class FolderShred {
public:
    enum class Reason {
        Unreadable,     // its type could not be read
        NotRemoved,     // a name that only had to be removed could not be
        OtherNames,     // has names outside the folder: this name removed, the contents kept
        NotShredded,    // the engine's result says why
        MountPoint,     // another filesystem, not entered
        NotEntered,     // a folder that could not be listed
        Changed,        // the name led elsewhere when it was reached (replaced during the run): left alone
        FolderChanged,  // a subfolder replaced by a link or another folder after it was listed: not entered
        AppearedLate,   // a link, pipe or device that came in after the walk: removed (it holds no data)
        Unexpected,     // an unexpected error stopped this step; `detail` has its words, if any
        FolderMoved,    // the chosen folder moved or was replaced during the run: its contents were handled,
                        // the folder and whatever is now at its path were left alone
        FileReplaced,   // listed as a file, found as something else: that was removed, the file not shredded
    };
    // What a left entry is, for the counts.
    enum class Kind { File, Folder, Other };
    struct Left {
        std::string path;
        Reason reason = Reason::NotShredded;
        ShredResult result;  // for NotShredded
        std::string detail;  // the system's words, when there are any
        bool leftInPlace = true;
        Kind kind = Kind::File;
    };
    // A file overwritten and removed whose old contents may still be on the disk.
    struct Remained {
        std::string path;
        platform::RemainReason reason = platform::RemainReason::None;
    };
    struct Outcome {
        std::vector<Left> left;
        std::vector<Remained> remained;
        std::vector<std::string> unchecked;  // shredded in place as far as known, but not checked
        int files = 0;                       // regular files met, shredded or not
        int folders = 0;                     // folders met below the chosen one, entered or not
        int others = 0;                      // links, pipes, devices and other filesystems met
        bool aborted = false;
        bool choiceMoved = false;  // by the end its path led elsewhere: what is there now was left alone
        // A file met a full disk: the run stopped after it, as every further file would fail the
        // same way, and what it had not reached is left as it was.
        bool diskFull = false;
        bool done() const { return !aborted && !diskFull && left.empty(); }
        int leftOf(Kind k) const;
    };
    struct Hooks {
        std::function<void()> beforeFile;                   // the engine's settings for the next file
        std::function<void(const ShredResult&)> afterFile;  // after each file the engine was given
        std::function<bool()> stopRequested;                // asked before every entry
    };

    FolderShred(platform::IFileService& files, cPattern& engine, Hooks hooks);

    // Shreds everything below `folder` and removes it; an abort leaves the folder and what is
    // left in it alone.
    Outcome run(const std::string& folder);
    // The same for a folder held since the user confirmed it: the walk, the shredding and the
    // removal all go through what is held, never through its path again.
    Outcome run(HeldChoice& choice);

private:
    // `listedAs` is what the walk's listing said was there; NotFound for what came in after it.
    void entry(platform::IDirectory& folder, const std::string& name, const std::string& path, Outcome& out,
               platform::FileType listedAs);
    void guardedEntry(platform::IDirectory& folder, const std::string& name, const std::string& path, Outcome& out,
                      platform::FileType listedAs);
    void shredded(const std::string& path, const ShredResult& r, const platform::FileStatus& listed, Outcome& out);
    bool unlinkName(platform::IDirectory& folder, const std::string& name, const std::string& path,
                    const platform::FileStatus& listed, Reason done, Outcome& out, Kind kind);
    ShredResult shred(platform::IDirectory& folder, const std::string& name, const platform::FileStatus& listed);

    platform::IFileService& m_files;
    cPattern& m_engine;
    Hooks m_hooks;
    // Files with several names, all of which may lie inside the choice: the names removed so
    // far, by device and inode. They are reported only if the contents end up kept.
    using Identity = std::pair<std::uint64_t, std::uint64_t>;
    std::map<Identity, std::vector<std::string>> m_namesRemoved;
};

}  // namespace quenvor::shredder
