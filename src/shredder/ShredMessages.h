#pragma once
// The words of the File Shredder page: its questions, its progress lines and the final account
// of each run, from the facts of the run alone. It only looks texts up; it shows nothing and
// touches no file, so every wording can be checked without a window or a disk.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/IStorageProbe.h"
#include "shredder/FolderShred.h"
#include "shredder/ProtectedPaths.h"
#include "shredder/ShredResult.h"

namespace quenvor::shredder {

class ShredMessages {
public:
    // The text of a string-table id in the language shown now.
    using Lookup = std::function<std::string(int)>;

    // A message and whether it warns (an exclamation) or only informs.
    struct Shown {
        std::string text;
        bool warn = true;
    };
    // What is on the disk below the chosen folder at the end of its run.
    struct Tally {
        int files = 0, folders = 0, others = 0;
        // The first few of those files by name (UTF-8), in the walk's order; `files` counts them all.
        std::vector<std::string> firstFiles;
    };

    // What became of one of several things chosen together.
    struct ItemEnd {
        // Moved: removed, but by then its path led elsewhere, to something left alone.
        enum class How { Deleted, MayRemain, Moved, Left, NotReached };
        std::string path;
        How how = How::Left;
        std::string why;  // for MayRemain and Left
    };

    explicit ShredMessages(Lookup text);

    // The questions before a run; `remains` says why old contents may stay where the choice lies.
    std::string confirmFile(const std::string& path, std::optional<platform::RemainReason> remains) const;
    std::string confirmFolder(const std::string& path, std::optional<platform::RemainReason> remains) const;
    std::string sharedContents(std::uint64_t otherNames) const;
    // The second question a protected choice needs.
    std::string protectedChoice(Protection kind, const std::string& path, bool folder) const;

    // Why a choice was not shredded at all.
    std::string notAFile(const std::string& path, bool gone) const;
    std::string folderNotHeld(const std::string& path, bool unreadable, const std::string& detail) const;
    // A run recorded as interrupted that may not be finished: its level is unknown, or the
    // choice is no longer the one recorded.
    std::string resumeRefused(bool levelKnown, const std::string& path) const;

    // The final accounts. `moved`: by the end the path no longer led to where the run went.
    Shown fileResult(const std::string& path, const ShredResult& r, bool moved) const;
    // `completed` counts the files whose passes ran to the end.
    Shown folderResult(const std::string& folder, const FolderShred::Outcome& o, const Tally& left,
                       int completed) const;

    // Several things chosen together: the page's label, the one question naming them (the first
    // few, then a count), and the one account of the run, true for each of them.
    std::string chosenCount(std::size_t n) const;
    std::string confirmMany(const std::vector<std::string>& paths) const;
    Shown manyResult(const std::vector<ItemEnd>& ends) const;
    // Every chosen thing on a line of its own with what became of it, for the list on demand.
    std::vector<std::string> manyDetails(const std::vector<ItemEnd>& ends) const;
    // "File 3 of 12", or "Item 3 of 12" when a folder is among them.
    std::string itemLine(std::size_t at, std::size_t of, bool filesOnly) const;

    // The status line while a run goes on; `stopping` once Abort was heard.
    std::string shreddingLine(const std::string& name) const;
    std::string passLine(std::int64_t done, std::int64_t of, bool stopping) const;
    std::string fileDoneLine(bool stopping) const;

    // One thing's reason on its own, for a front end that lists each thing by itself.
    std::string reasonFor(const ShredResult& r) const;
    std::string reasonFor(const FolderShred::Left& l) const;
    std::string remainText(platform::RemainReason r) const;

private:
    std::string confirm(int id, const std::string& path, std::optional<platform::RemainReason> remains) const;
    std::string movedNote(int id, const std::string& path, const std::string& rest) const;
    std::string unexpected(const std::string& detail) const;
    std::string withStopNote(const std::string& line, bool stopping) const;
    std::string folderAccount(const FolderShred::Outcome& o, const Tally& left, int completed, bool& warn) const;
    std::string abortAccount(const FolderShred::Outcome& o, const Tally& left, int completed) const;
    std::string leftList(const FolderShred::Outcome& o) const;
    std::string remainedList(const FolderShred::Outcome& o) const;
    std::string uncheckedList(const FolderShred::Outcome& o) const;
    std::string fileList(const Tally& t) const;
    // `n` with its noun, in the singular for one.
    std::string counted(int n, int oneId, int manyId) const;

    Lookup m_text;
};

}  // namespace quenvor::shredder
