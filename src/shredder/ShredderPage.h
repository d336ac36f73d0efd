#pragma once
// The File Shredder page: choosing a file or a folder, confirming, shredding with progress,
// Abort between files, and a final message that says what really happened.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shredder/FolderShred.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "shredder/IShredEvents.h"
#include "shredder/IWipeEvents.h"
#include "shredder/InterruptedRun.h"
#include "shredder/OverwriteCheck.h"
#include "shredder/ProtectedPaths.h"
#include "shredder/ShredMessages.h"
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

namespace quenvor::shredder {

class HeldChoice;
class cPattern;

class ShredderPage : public IShredEvents, public IWipeEvents {
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
    // Wipes the free space of the drive holding a folder the user chooses, after a confirmation
    // that says the drive is full meanwhile; Abort stops it, and the fill goes either way.
    void cmdWipeFree_Click();

    // The passes of the level chosen in the list: 4, 8, 16, or 0 with no item selected.
    std::int32_t passCount();

    // Asked before the window closes or Quit ends the program: true when it may happen now.
    // During a run the user may choose to stop after the current file; `whenStopped` then
    // runs once the run has ended.
    bool QueryClose(std::function<void()> whenStopped);

    void setOwner(std::uintptr_t owner) { m_owner = owner; }
    // Where each run is recorded while it goes on; null: runs are not recorded.
    void setRunRecord(InterruptedRun* run) { m_run = run; }
    // What "Wipe free space" runs; null: the button says it is not available here.
    void setFreeSpaceWipe(FreeSpaceWipe* wipe) { m_wipe = wipe; }
    // Finishes a run the record names, with its level, the user having said Yes to that; a choice
    // that is no longer the one recorded is refused.
    void resume(const InterruptedRun::Record& r);
    // Several files and folders at once (from the file dialog or dropped on the page); one alone
    // is chosen as the File or Folder button would. False, changing nothing, during a run or
    // while another page is shown.
    bool choose(const std::vector<std::string>& paths);
    // Whether a choice may be made now: the page is shown and nothing runs.
    bool canChoose();
    // The whole of a choice of several, on demand, before anything is destroyed.
    void cmdChosenList_Click();
    // The label and the list button follow the choice; also when the page is shown again.
    void showChoice();
    // Set when more than one thing is chosen; the single choice is then empty.
    const std::vector<std::string>& chosenItems() const { return m_many; }
    const std::string& selectedFile() const { return m_sSelectedFile; }
    const std::string& selectedFolder() const { return m_sSelectedFolder; }
    bool abortRequested() const { return m_bAbort; }

    // What is on the disk below the chosen folder at the end of its run, counted through the
    // folder held for it (nothing when it is gone): a path may show another folder by then.
    static ShredMessages::Tally tallyLeft(platform::IFileService& files, HeldChoice& held);

    void eSCompPMax(std::int32_t lmax) override;
    void eSCompPTick(std::int32_t lCnt) override;
    void eSCompComplete() override;

    void wipeStep(WipeStep step) override;
    void wipeProgress(const WipeProgress& p) override;
    bool wipeStopRequested() override;

private:
    // The program itself, a folder that holds it, the home folder, the system's root or a mount
    // root needs its own Yes first.
    bool confirmProtected(const std::string& path, bool folder);
    void shredSelectedFile();
    void shredSelectedFolder();
    void shredChosenItems();
    // One of several chosen things, confirmed as `seen` and held since.
    ShredMessages::ItemEnd shredItem(HeldChoice& held, const platform::FileStatus& seen);
    void prepareEngine();
    // `moved` is set when by the end the path no longer led to the folder the file was shredded in.
    ShredResult shredOne(const std::string& path, const platform::FileStatus& confirmed, bool* moved = nullptr);
    // Why old contents may remain where `path` lies, or nothing when it is overwritten in place.
    std::optional<platform::RemainReason> remainsWhere(const std::string& path);
    // The label under the buttons names what Delete would destroy, and nothing when it is off.
    void beginRun(bool folderMode);
    void endRun(bool folderMode);
    void hideProgress();
    // A folder's shred as the page runs it: the engine set up per file, the bar hidden on a
    // failure, Abort heard.
    FolderShred::Hooks folderHooks();
    // The folder dialog as the page sets it up; empty when the user cancelled.
    std::string browseForFolder(const std::string& title);

    std::string text(int id);

    Services m_s;
    OverwriteCheck m_check;
    ShredMessages m_say;
    ProtectedPaths m_protected;
    std::string m_sSelectedFile;
    std::string m_sSelectedFolder;
    std::vector<std::string> m_many;
    std::string m_itemLine;  // "File 3 of 12" while several are shredded in turn
    bool m_bAbort = false;
    ShredMessages::Tally m_left;  // what the last folder run left on the disk
    int m_completed = 0;          // files of that run whose passes ran to the end
    std::uintptr_t m_owner = 0;
    std::function<void()> m_whenStopped;
    // Gone with the page: what runs after a click can tell whether the click unloaded it.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
    InterruptedRun* m_run = nullptr;
    bool m_resuming = false;  // the user has already said Yes to this run
    FreeSpaceWipe* m_wipe = nullptr;
    FreeSpaceWipeMessages m_wipeSay;
};

}  // namespace quenvor::shredder
