#pragma once
// The File Shredder page: choosing a file or a folder, confirming, shredding with progress,
// Abort between files, and a final message that says what really happened.
#include <cstdint>
#include <functional>
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

namespace quenvor::shredder {

class cPattern;

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
    ShredResult shredOne(const std::string& path, const platform::FileStatus& confirmed);
    std::string reasonFor(const ShredResult& r);
    std::string reasonFor(const FolderShred::Left& l);
    std::string remainText(platform::RemainReason r);
    std::string unexpected(const std::string& detail);
    // The sentence a confirmation gets when old contents may remain where `path` lies.
    std::string storageNote(const std::string& path);
    std::string fileMessage(const std::string& path, const ShredResult& r, bool& warn);
    std::string folderMessage(const FolderShred::Outcome& o, bool& warn);
    std::string uncheckedList(const FolderShred::Outcome& o);
    void beginRun(bool folderMode);
    void endRun(bool folderMode);
    void hideProgress();

    std::string text(int id);

    Services m_s;
    OverwriteCheck m_check;
    std::string m_sSelectedFile;
    std::string m_sSelectedFolder;
    bool m_bAbort = false;
    std::uintptr_t m_owner = 0;
    std::function<void()> m_whenStopped;
    InterruptedRun* m_run = nullptr;
    bool m_resuming = false;  // the user has already said Yes to this run
};

}  // namespace quenvor::shredder
