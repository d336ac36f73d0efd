#pragma once
// The words of the File Shredder page: its questions, its progress lines and the final account
// of each run, from the facts of the run alone. It only looks texts up; it shows nothing and
// touches no file, so every wording can be checked without a window or a disk.
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

// The page's texts that come in a singular and a plural form, and the account of a stopped run.
namespace shred_text {
inline constexpr int kStopped = 360;           // "Shredding was stopped: %1 files were shredded."
inline constexpr int kStoppedOne = 361;        // the same with one file
inline constexpr int kFolderStays = 362;       // "The folder itself stays, with these %1 files ..."
inline constexpr int kFolderStaysOne = 363;    // ... with this file
inline constexpr int kFolderStaysEmpty = 364;  // ... with no files left in it
inline constexpr int kOneNotShredded = 365;    // "1 of %2 files was not shredded:"
inline constexpr int kOnlyNotShredded = 366;   // "1 of 1 file was not shredded:"
inline constexpr int kOnlyShredded = 367;      // the one file shredded, not everything removed
inline constexpr int kNoneToShred = 368;       // no file to shred, not everything removed
inline constexpr int kCounts = 369;            // "Found: %1, %2 and %3 (...). Left: %4, %5 and %6."
inline constexpr int kOneFile = 370;           // "1 file"
inline constexpr int kFiles = 371;             // "%1 files"
inline constexpr int kOneFolder = 372;         // "1 folder"
inline constexpr int kFolders = 373;           // "%1 folders"
inline constexpr int kOneOther = 374;          // "1 other entry"
inline constexpr int kOthers = 375;            // "%1 other entries"
}  // namespace shred_text

// The page's other texts.
namespace page_text {
inline constexpr int kFileDoneStatus = 107;  // "Removing file..wait.."
inline constexpr int kOverwriting = 108;     // "Overwriting", then "1 of 4"
inline constexpr int kOf = 109;              // "of"
inline constexpr int kShredding = 143;       // before the name of the folder being shredded
inline constexpr int kConfirmFile = 144;     // the question before a file is shredded
inline constexpr int kConfirmFileTitle = 145;
inline constexpr int kFileRemovedStatus = 146;
inline constexpr int kConfirmFolder = 147;  // the question before a folder is shredded
inline constexpr int kConfirmFolderTitle = 148;
inline constexpr int kAbortedStatus = 149;
inline constexpr int kChooseFileTitle = 150;
inline constexpr int kTitle = 154;            // the program's name, the title of every result
inline constexpr int kAllFiles = 155;         // the file dialog's one filter
inline constexpr int kFileDeleted = 160;      // "The file was permanently deleted."
inline constexpr int kFolderDeleted = 161;    // "The folder was permanently deleted."
inline constexpr int kFileNotShredded = 164;  // heading: not shredded, still in place
inline constexpr int kSomeNotShredded = 165;  // "%1 of %2 files were not shredded:"
inline constexpr int kNotOpened = 166;
inline constexpr int kWriteFailed = 167;
inline constexpr int kOtherNames = 168;      // only this name removed, the contents kept
inline constexpr int kRemovalPending = 169;  // removed at the next start
inline constexpr int kNotARegularFile = 181;
inline constexpr int kSharedContents = 182;  // the question for a file with other names, %1 of them
inline constexpr int kStopAndQuit = 183;     // the question when the window closes during a run
inline constexpr int kMountPoint = 184;
inline constexpr int kNotRead = 185;
inline constexpr int kNotRemoved = 186;
inline constexpr int kNotFound = 187;
inline constexpr int kNoPasses = 188;
inline constexpr int kAndMore = 189;           // "...and %1 more."
inline constexpr int kLeftInPlace = 190;       // what was not shredded stays with its folders
inline constexpr int kFolderUnreadable = 191;  // a link, or a folder that could not be read
inline constexpr int kChanged = 200;
inline constexpr int kNameReplaced = 201;
inline constexpr int kFolderChanged = 202;
inline constexpr int kKeptGrowing = 203;
inline constexpr int kUnexpected = 232;
inline constexpr int kAllShredded = 280;  // "All %1 files were shredded, but ..."
inline constexpr int kAppearedLate = 282;
inline constexpr int kFileNotRemoved = 303;  // heading: overwritten, but not removed
inline constexpr int kFilePartly = 304;      // heading: not fully shredded, still in place
inline constexpr int kProgramFolder = 305;   // the protected places, each followed by its path
inline constexpr int kHoldsProgram = 306;
inline constexpr int kHome = 307;
inline constexpr int kSystemRoot = 308;
inline constexpr int kMountRoot = 309;
inline constexpr int kProgramFile = 310;
inline constexpr int kFolderAnyway = 311;    // the question after a protected folder
inline constexpr int kFileAnyway = 312;      // the question after the program file
inline constexpr int kStoppingStatus = 313;  // "Stopping after the current file.."
inline constexpr int kStoppingNote = 314;    // "(stopping after this file)"
}  // namespace page_text

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

    // The status line while a run goes on; `stopping` once Abort was heard.
    std::string shreddingLine(const std::string& name) const;
    std::string passLine(std::int64_t done, std::int64_t of, bool stopping) const;
    std::string fileDoneLine(bool stopping) const;

private:
    std::string confirm(int id, const std::string& path, std::optional<platform::RemainReason> remains) const;
    std::string movedNote(int id, const std::string& path, const std::string& rest) const;
    std::string reasonFor(const ShredResult& r) const;
    std::string reasonFor(const FolderShred::Left& l) const;
    std::string remainText(platform::RemainReason r) const;
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
