#pragma once
// The File Shredder page: choosing a file or a folder, confirming, shredding with progress,
// Abort between files, and a final message that says what really happened.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "shredder/FolderShred.h"
#include "shredder/IShredEvents.h"
#include "shredder/InterruptedRun.h"
#include "shredder/OverwriteCheck.h"
#include "shredder/ShredResult.h"

namespace quenvor::platform {
class IFileService;
class IKnownFolders;
class IStorageProbe;
struct FileStatus;
}  // namespace quenvor::platform

namespace quenvor::ui {
class BusyState;
class IFormView;
class IUiServices;
class StringTable;
class cBrowseForFolder;
class cCommonDialog;
}  // namespace quenvor::ui

namespace quenvor::ui {
class ListedMessage;
}

namespace quenvor::shredder {

class HeldChoice;
class cPattern;

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

class ShredderPage : public IShredEvents {
public:
    struct Services {
        quenvor::ui::IFormView& view;
        quenvor::ui::IUiServices& ui;
        quenvor::ui::StringTable& strings;
        quenvor::ui::BusyState& busy;
        platform::IFileService& files;
        platform::IKnownFolders* folders;
        cPattern& engine;
        quenvor::ui::cCommonDialog& fileDialog;
        quenvor::ui::cBrowseForFolder& folderBrowser;
        // Where overwriting in place may not reach the old bytes; null: every file counts as
        // overwritten in place.
        platform::IStorageProbe* probe;
    };

    explicit ShredderPage(Services s);
    ~ShredderPage() override;

    void cmdFile_Click();
    void cmdFolder_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();

    // The passes of the level chosen in the list: 4, 8, 16, or 0 with no item selected.
    std::int32_t passCount();

    // Asked before the window closes or Quit ends the program: true when it may happen now.
    // During a run the user may choose to stop after the current file; `whenStopped` then
    // runs once the run has ended.
    bool QueryClose(std::function<void()> whenStopped);

    void setOwner(std::uintptr_t owner) { m_owner = owner; }
    // Where each run is recorded while it goes on; null: runs are not recorded.
    void setRunRecord(InterruptedRun* run) { m_run = run; }
    // Finishes a run the record names, with its level, the user having said Yes to that; a choice
    // that is no longer the one recorded is refused.
    void resume(const InterruptedRun::Record& r);
    const std::string& selectedFile() const { return m_sSelectedFile; }
    const std::string& selectedFolder() const { return m_sSelectedFolder; }
    bool abortRequested() const { return m_bAbort; }

    void eSCompPMax(std::int32_t lmax) override;
    void eSCompPTick(std::int32_t lCnt) override;
    void eSCompComplete() override;

private:
    // Which warning the choice needs before it may be shredded (a text id), or 0: the program
    // itself, a folder that holds it, the home folder, the system's root or a mount root.
    int protectedKind(const std::string& path, bool folder);
    bool confirmProtected(const std::string& path, bool folder);
    std::string runStatus(const std::string& line);
    void shredSelectedFile();
    void shredSelectedFolder();
    void prepareEngine();
    // `moved` is set when by the end the path no longer led to the folder the file was shredded in.
    ShredResult shredOne(const std::string& path, const platform::FileStatus& confirmed, bool* moved = nullptr);
    // The sentence for a choice shredded and removed while its path came to lead elsewhere.
    std::string movedNote(int id, const std::string& path, const std::string& rest);
    std::string reasonFor(const ShredResult& r);
    std::string reasonFor(const FolderShred::Left& l);
    std::string remainText(platform::RemainReason r);
    std::string unexpected(const std::string& detail);
    // The sentence a confirmation gets when old contents may remain where `path` lies.
    std::string storageNote(const std::string& path);
    std::string fileMessage(const std::string& path, const ShredResult& r, bool& warn);
    std::string folderMessage(const FolderShred::Outcome& o, bool& warn);
    std::string uncheckedList(const FolderShred::Outcome& o);
    std::string leftList(const FolderShred::Outcome& o);
    std::string remainedList(const FolderShred::Outcome& o);
    std::string abortMessage(const FolderShred::Outcome& o);
    // What is on the disk below the chosen folder at the end of its run, counted through the
    // folder held for it (nothing when it is gone): a path may show another folder by then.
    struct Tally {
        int files = 0, folders = 0, others = 0;
        std::string fileList;  // the first few files by name, and how many more
    };
    Tally tallyLeft(HeldChoice& held);
    // `n` with its noun, in the singular for one.
    std::string counted(int n, int oneId, int manyId);
    // The question of text `id` with the chosen path on its own line after it.
    std::string askAbout(int id, const std::string& path);
    // The label under the buttons names what Delete would destroy, and nothing when it is off.
    void showChoice();
    void beginRun(bool folderMode);
    void endRun(bool folderMode);
    void hideProgress();

    std::string text(int id);

    Services m_s;
    OverwriteCheck m_check;
    std::string m_sSelectedFile;
    std::string m_sSelectedFolder;
    bool m_bAbort = false;
    Tally m_left;         // what the last folder run left on the disk
    int m_completed = 0;  // files of that run whose passes ran to the end
    std::uintptr_t m_owner = 0;
    std::function<void()> m_whenStopped;
    // Gone with the page: what runs after a click can tell whether the click unloaded it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    InterruptedRun* m_run = nullptr;
    bool m_resuming = false;  // the user has already said Yes to this run
};

}  // namespace quenvor::shredder
