#pragma once
// The main window's behaviour apart from its widgets: the load and unload steps, Help and
// Quit, and the page and settings logic it owns.
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/PlatformServices.h"
#include "shell/KeepSites.h"
#include "shell/PageNavigation.h"
#include "shell/SettingsPage.h"
#include "ui/BusyState.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {
class CleaningRun;
}  // namespace quenvor::cleaning

namespace quenvor::shredder {
class FreeSpaceWipe;
class InterruptedRun;
class PendingFill;
class ShredderPage;
class cPattern;
}  // namespace quenvor::shredder

namespace quenvor::ui {
class IFormView;
class cBrowseForFolder;
class cCommonDialog;
class IUiServices;
}  // namespace quenvor::ui

namespace quenvor::shell {

class StartForm {
public:
    StartForm(ui::IFormView& view, ui::IUiServices& ui, platform::PlatformServices services);
    ~StartForm();

    void Form_Load();
    // Once the window is on screen: a shred an earlier start never saw end is offered to be finished.
    void Form_Shown();
    void Form_Unload();
    void cmdHelp_Click();
    void cmdQuit_Click();
    // Asked when the window is about to close from its title bar: false keeps it open (a
    // shred is running; it may close itself once the run has stopped).
    bool QueryUnload();

    // True once Quit has asked the program to end: the window then closes without unloading.
    bool ending() const { return m_ending; }
    void setOwnerHandle(std::uintptr_t handle) { m_owner = handle; }

    ui::StringTable& strings() { return m_strings; }
    PageNavigation& pages() { return m_pages; }
    SettingsPage& settings() { return m_settings; }
    ui::BusyState& busy() { return m_busy; }
    KeepSites& keepSites() { return m_keep; }
    // Null until the load step has created them.
    shredder::ShredderPage* shredderPage() { return m_shredder.get(); }
    shredder::cPattern* cShred() { return m_cShred.get(); }
    cleaning::CleaningRun* cleaningRun() { return m_cleaning.get(); }

    // The page-one lists (from the services' URL cache) and the "Erase my tracks" button.
    void ListVisitedSites();
    void ListCookies();
    void cmdNext_Click();

private:
    // Retries the removals left by earlier runs; what the user must hear about them, or "".
    std::string retryPending();
    // Runs one part's set-up; a failure is kept (with its words) to be told at the end of the load.
    template <class F>
    void startPart(int part, F&& setUp);
    // The message naming every part that did not start, or "" when all did.
    std::string partsFailedText();
    // The buttons of a part that did not start stay off (a run's end turns them back on).
    void disableFailedParts();

    ui::IFormView& m_view;
    ui::IUiServices& m_ui;
    platform::PlatformServices m_services;
    ui::StringTable m_strings;
    PageNavigation m_pages;
    SettingsPage m_settings;
    ui::BusyState m_busy;
    KeepSites m_keep;
    std::unique_ptr<ui::cBrowseForFolder> m_c;
    std::unique_ptr<ui::cCommonDialog> m_cHookDlg;
    std::unique_ptr<shredder::InterruptedRun> m_run;  // outlives the page that writes it
    std::unique_ptr<shredder::cPattern> m_cShred;
    std::unique_ptr<shredder::ShredderPage> m_shredder;
    std::unique_ptr<shredder::PendingFill> m_fillRecord;
    std::unique_ptr<shredder::FreeSpaceWipe> m_wipe;
    std::unique_ptr<cleaning::CleaningRun> m_cleaning;
    std::uintptr_t m_owner = 0;
    bool m_ending = false;
    std::string m_pendingNotice;
    std::string m_fillNotice;  // a fill an unfinished wipe left, removed at this start
    bool m_fillWarn = false;
    std::vector<std::pair<int, std::string>> m_failedParts;  // text id of the part, reason
};

}  // namespace quenvor::shell
