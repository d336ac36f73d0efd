#include "shell/StartForm.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "cleaning/CleaningRun.h"
#include "cleaning/UrlCacheLists.h"
#include "platform/IKnownFolders.h"
#include "platform/IProcessTable.h"
#include "platform/PendingDeletionList.h"
#include "platform/Utf8Path.h"
#include "platform/cTools.h"
#include "shell/HelpPath.h"
#include "shredder/FreeSpaceWipe.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "shredder/InterruptedRun.h"
#include "shredder/InterruptedRunOffer.h"
#include "shredder/PendingFill.h"
#include "shredder/ShredderPage.h"
#include "shredder/cPattern.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/ListedMessage.h"
#include "ui/dialogs/cBrowseForFolder.h"
#include "ui/dialogs/cCommonDialog.h"

namespace quenvor::shell {

StartForm::StartForm(ui::IFormView& view, ui::IUiServices& ui, platform::PlatformServices services)
    : m_view(view),
      m_ui(ui),
      m_services(services),
      m_strings(services.strings, &ui),
      m_pages(view, m_strings),
      m_settings(view, m_strings, services.settings, ui),
      m_keep(view, m_strings, services.settings, ui, m_busy, [this](const cleaning::common::KeepList& keep) {
          if (m_cleaning) m_cleaning->setKeepList(keep);
      }) {}

StartForm::~StartForm() = default;

template <class F>
void StartForm::startPart(int part, F&& setUp) {
    const bool started =
        ui::reportedStep(setUp, [&](const std::string& why) { m_failedParts.emplace_back(part, why); });
    if (started || part != text::StartupShredderPart) return;
    // Half a page is no page: what did start of it goes, so no button reaches it.
    m_shredder.reset();
    m_wipe.reset();
    m_fillRecord.reset();
    m_run.reset();
    m_cShred.reset();
}

void StartForm::Form_Load() {
    ui::guarded([&] { m_settings.LoadLanguage(); });
    ui::guarded([&] { m_strings.LocalizeCaptions(m_view); });
    ui::guarded([&] { m_settings.LoadOptions(); });
    ui::guarded([&] {
        m_view.setCaption("lblStart",
                          ui::StringTable::ExpandLineBreaks(m_strings.LoadLangString(text::StartPageIntro)));
        m_view.setCaption("lblAbout", ui::StringTable::ExpandLineBreaks(m_strings.LoadLangString(text::AboutPageText)));
        m_view.setCaption("lblShredder",
                          ui::StringTable::ExpandLineBreaks(m_strings.LoadLangString(text::ShredderPageIntro)));
    });
    ui::guarded([&] { m_view.setWindowCaption(m_strings.LoadLangString(text::AppTitle)); });
    startPart(text::StartupShredderPart, [&] {
        m_c = std::make_unique<ui::cBrowseForFolder>(m_ui);
        m_cHookDlg = std::make_unique<ui::cCommonDialog>(m_ui);
        if (!m_services.files) return;
        m_cShred = std::make_unique<shredder::cPattern>(*m_services.files, m_services.random);
        m_shredder = std::make_unique<shredder::ShredderPage>(
            shredder::ShredderPage::Services{m_view, m_ui, m_strings, m_busy, *m_services.files, m_services.folders,
                                             *m_cShred, *m_cHookDlg, *m_c, m_services.storageProbe});
        m_shredder->setOwner(m_owner);
        // Beside the list of removals left for the next start, in the same per-user folder.
        if (m_services.pending) {
            m_run = std::make_unique<shredder::InterruptedRun>(
                *m_services.files, m_services.pending->file().parent_path() / "interrupted-shred",
                m_services.processes ? m_services.processes->currentProcessId() : 0);
            m_shredder->setRunRecord(m_run.get());
            m_fillRecord = std::make_unique<shredder::PendingFill>(
                *m_services.files, m_services.pending->file().parent_path() / "pending-fill");
        }
        if (m_services.freeSpace && m_services.random) {
            m_wipe = std::make_unique<shredder::FreeSpaceWipe>(shredder::FreeSpaceWipe::Services{
                *m_services.files, *m_services.freeSpace, *m_services.random, m_services.storageProbe,
                m_fillRecord.get(), m_services.processes ? m_services.processes->currentProcessId() : 0,
                m_services.processes});
            m_shredder->setFreeSpaceWipe(m_wipe.get());
        }
    });
    // What an earlier run could not remove goes now, if it is still the same file; what still
    // cannot go stays listed for the next start. The user is told at the end of the load, once: a
    // file believed destroyed that is still there must not go unnoticed.
    startPart(text::StartupPendingPart, [&] {
        if (m_services.pending && m_services.files) m_pendingNotice = retryPending();
        // A fill an unfinished wipe left holds the disk's free space: it goes before anything else runs.
        if (m_fillRecord) {
            const auto shown = shredder::FreeSpaceWipeMessages([&](int id) {
                                   return m_strings.LoadLangString(id);
                               }).recovered(m_fillRecord->cleanUp(m_services.processes));
            m_fillNotice = shown.text;
            m_fillWarn = shown.warn;
        }
    });
    startPart(text::StartupCleaningPart, [&] {
        if (!m_services.registry || !m_services.profiles || !m_services.files || !m_services.folders) return;
        const cleaning::firefox::FirefoxProfiles::Services firefox{*m_services.registry, *m_services.profiles,
                                                                   *m_services.files, *m_services.folders};
        m_cleaning = std::make_unique<cleaning::CleaningRun>(
            cleaning::CleaningRun::Services{m_view, m_ui, m_strings, m_busy, firefox, m_services.urlCache,
                                            m_services.urlHistory, m_services.processes});
    });
    ui::guarded([&] { m_keep.Load(); });
    ui::guarded([&] {
        m_view.addComboItem("cmbLanguage", m_strings.LoadLangString(text::LanguageEnglish));
        m_view.addComboItem("cmbLanguage", m_strings.LoadLangString(text::LanguageSpanish));
        m_view.setComboText("cmbLanguage", m_strings.LoadLangString(text::LanguagePrompt));
        m_view.setComboItemData("cmbLanguage", 0, ui::kEnglish);
        m_view.setComboItemData("cmbLanguage", 1, ui::kSpanish);
    });
    ui::guarded([&] {
        m_view.addComboItem("cmbSecure", m_strings.LoadLangString(text::ShredLevelSecure));
        m_view.addComboItem("cmbSecure", m_strings.LoadLangString(text::ShredLevelHigh));
        m_view.addComboItem("cmbSecure", m_strings.LoadLangString(text::ShredLevelParanoid));
        // A real selection, so the level shown is the level used.
        m_view.setComboSelectedIndex("cmbSecure", 0);
    });
    ui::guarded([&] { m_pages.ShowTracksPage(); });
    ui::guarded([&] {
        if (m_services.urlCache) cleaning::UrlCacheLists(m_view, m_ui, *m_services.urlCache).ListPagesAndCookies();
    });
    ui::guarded([&] { m_keep.MarkRows(); });
    ui::guarded([&] { disableFailedParts(); });
    // Told even when the window could not be filled: the user must not take a missing part for
    // a button that does nothing.
    ui::guarded([&] {
        if (const std::string failed = partsFailedText(); !failed.empty())
            m_ui.messageBox(failed, m_strings.LoadLangString(text::AppTitle), ui::MsgButtons::Ok,
                            ui::MsgIcon::Critical);
    });
    ui::guarded([&] {
        if (!m_pendingNotice.empty())
            m_ui.messageBox(std::exchange(m_pendingNotice, {}), m_strings.LoadLangString(text::AppTitle),
                            ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
    });
    ui::guarded([&] {
        if (!m_fillNotice.empty())
            m_ui.messageBox(std::exchange(m_fillNotice, {}), m_strings.LoadLangString(text::WipeFreeTitle),
                            ui::MsgButtons::Ok, m_fillWarn ? ui::MsgIcon::Exclamation : ui::MsgIcon::Information);
    });
}

std::string StartForm::partsFailedText() {
    if (m_failedParts.empty()) return {};
    std::string text = m_strings.LoadLangString(text::StartupPartsFailed);
    for (const auto& [part, why] : m_failedParts)
        text += "\r\n" + m_strings.LoadLangString(part) + ": " +
                (why.empty() ? m_strings.LoadLangString(text::StartupNoReason) : why);
    return text + "\r\n\r\n" + m_strings.LoadLangString(text::StartupStartAgain);
}

void StartForm::disableFailedParts() {
    for (const auto& failed : m_failedParts) {
        if (failed.first == text::StartupShredderPart)
            for (const char* b : {"cmdFile", "cmdFolder", "cmdDelete"})
                ui::guarded([&] { m_view.setEnabled(b, false); });
        if (failed.first == text::StartupCleaningPart) ui::guarded([&] { m_view.setEnabled("cmdNext", false); });
    }
}

std::string StartForm::retryPending() {
    auto& pending = *m_services.pending;
    const auto report = pending.retry(*m_services.files);
    if (!report)
        return m_strings.LoadLangString(text::PendingListUnreadable) + "\r\n" + platform::utf8Of(pending.file()) +
               "\r\n" + report.error().message;
    std::string notice;
    if (!report->kept.empty()) {
        ui::ListedMessage msg(m_strings.LoadLangString(text::PendingStillThere),
                              m_strings.LoadLangString(text::AndMore));
        for (const auto& k : report->kept) msg.add(platform::utf8Of(k.path) + ": " + k.reason);
        notice = msg.text();
    }
    if (report->unreadableLines > 0) {
        if (!notice.empty()) notice += "\r\n\r\n";
        notice += ui::replaceAll(m_strings.LoadLangString(text::PendingLinesUnreadable), "%1",
                                 std::to_string(report->unreadableLines)) +
                  "\r\n" + platform::utf8Of(pending.file());
    }
    return notice;
}

void StartForm::ListVisitedSites() {
    if (m_services.urlCache) cleaning::UrlCacheLists(m_view, m_ui, *m_services.urlCache).ListVisitedSites();
}

void StartForm::ListCookies() {
    if (m_services.urlCache) cleaning::UrlCacheLists(m_view, m_ui, *m_services.urlCache).ListCookies();
}

void StartForm::cmdNext_Click() {
    if (m_busy.any()) return;
    if (m_cleaning) {
        m_cleaning->cmdNext_Click();
        // The run lists what is left anew: the kept sites are marked again.
        m_keep.MarkRows();
        // The run's end turns the start buttons back on, a shredder's that never started too.
        ui::guarded([&] { disableFailedParts(); });
    } else if (std::any_of(m_failedParts.begin(), m_failedParts.end(),
                           [](const auto& f) { return f.first == text::StartupCleaningPart; })) {
        m_ui.messageBox(partsFailedText(), m_strings.LoadLangString(text::AppTitle), ui::MsgButtons::Ok,
                        ui::MsgIcon::Critical);
    }
}

void StartForm::Form_Shown() {
    if (!m_run || !m_shredder) return;
    std::optional<shredder::InterruptedRun::Record> again;
    ui::guarded([&] {
        again = shredder::InterruptedRunOffer({m_ui, m_strings, *m_services.files, m_services.processes}).ask(*m_run);
    });
    if (!again) return;
    // Its progress is shown on its own page only.
    ui::guarded([&] { m_pages.ShowShredderPage(); });
    m_shredder->resume(*again);
}

void StartForm::Form_Unload() {
    m_shredder.reset();
    m_wipe.reset();
    m_cShred.reset();
}

bool StartForm::QueryUnload() {
    if (!m_shredder) return true;
    return m_shredder->QueryClose([this] { m_view.closeWindow(); });
}

void StartForm::cmdHelp_Click() {
    ui::guarded([&] {
        if (!m_services.folders) return;
        const std::string path =
            BuildHelpPath(platform::utf8Of(m_services.folders->programFolder()), m_strings.language());
        const auto opened = platform::cTools(m_services.opener).OpenSiteInBrowser(path, m_owner);
        // Without a program for web pages the desktop often says nothing: the page's place lets
        // the user open it by hand.
        if (!opened)
            m_ui.messageBox(
                m_strings.LoadLangString(text::HelpNotOpened) + "\n\n" + path + "\n\n(" + opened.error().message + ")",
                m_strings.LoadLangString(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
    });
}

void StartForm::cmdQuit_Click() {
    const auto end = [this] {
        m_ending = true;
        m_ui.endProgram();
    };
    if (m_shredder && !m_shredder->QueryClose(end)) return;
    end();
}

}  // namespace quenvor::shell
