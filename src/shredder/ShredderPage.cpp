#include "shredder/ShredderPage.h"
#include "text/TextIds.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <memory>
#include <optional>
#include <set>
#include <utility>

#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/IStorageProbe.h"
#include "platform/Utf8Path.h"
#include "shredder/FolderShred.h"
#include "shredder/HeldChoice.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"
#include "ui/BusyState.h"
#include "ui/Guarded.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/ListedMessage.h"
#include "ui/StringTable.h"
#include "ui/dialogs/cBrowseForFolder.h"
#include "ui/dialogs/cCommonDialog.h"

namespace quenvor::shredder {

using platform::FileType;
using ui::MsgAnswer;
using ui::MsgButtons;
using ui::MsgDefault;
using ui::MsgIcon;

namespace {

// Both dialogs open in the user's home: the program's own folder (/usr/bin once installed) and
// whatever folder it was started from are rarely where the user's files are.
std::string startFolder(platform::IKnownFolders* folders) {
    return folders ? platform::utf8Of(folders->homeFolder()) : std::string();
}

}  // namespace

ShredderPage::ShredderPage(Services s)
    : m_s(s),
      m_check(s.probe),
      m_say([&strings = s.strings](int id) { return strings.LoadLangString(id); }),
      m_protected(s.files, s.folders),
      m_wipeSay([&strings = s.strings](int id) { return strings.LoadLangString(id); }) {
    m_s.engine.setEvents(this);
    m_check.attachTo(m_s.engine);
}

ShredderPage::~ShredderPage() {
    m_s.engine.setEvents(nullptr);
    m_s.engine.setOpenFileChecks({}, {});
    m_s.engine.setLayerCheck({});
}

std::string ShredderPage::text(int id) { return m_s.strings.LoadLangString(id); }

std::int32_t ShredderPage::passCount() {
    switch (m_s.view.comboSelectedIndex("cmbSecure")) {
        case 0:
            return 4;
        case 1:
            return 8;
        case 2:
            return 16;
        default:
            return 0;
    }
}

void ShredderPage::cmdFile_Click() {
    ui::guarded([&] {
        m_s.view.setCaption("lblStatus", "");
        m_sSelectedFolder.clear();
        m_sSelectedFile.clear();
        auto& dlg = m_s.fileDialog;
        dlg.setDialogTitle(text(text::SelectFileDialogTitle));
        dlg.setCancelError(true);
        dlg.setHwnd(m_owner);
        m_many.clear();
        dlg.setFlags(ui::kOfnPathMustExist | ui::kOfnFileMustExist | ui::kOfnAllowMultiSelect);
        dlg.setFilter(text(text::AllFilesFilter) + " (*.*)|*.*");
        dlg.setFilterIndex(1);
        dlg.setInitDir(startFolder(m_s.folders));
        dlg.ShowOpen();
        if (dlg.Filename().find('\0') != std::string::npos) {
            std::string folder;
            std::vector<std::string> names;
            int count = 0;
            dlg.ParseMultiFileName(folder, names, count);
            std::vector<std::string> paths;
            paths.reserve(names.size());
            for (const auto& n : names) paths.push_back(platform::utf8Of(platform::pathFromUtf8(folder) / n));
            (void)choose(paths);
            return;
        }
        m_sSelectedFile = dlg.Filename();
        m_s.view.setEnabled("cmdDelete", true);
    });
    showChoice();
}

std::string ShredderPage::browseForFolder(const std::string& title) {
    auto& b = m_s.folderBrowser;
    b.setHwndOwner(m_owner);
    // The wipe's own title only for its own choice: the shred's dialog keeps the usual one.
    const std::string usual = b.Title();
    if (!title.empty()) b.setTitle(title);
    b.setInitialDir(startFolder(m_s.folders));
    b.setFileSystemOnly(true);
    b.setStatusText(true);
    b.setEditBox(true);
    b.setUseNewUI(true);
    struct Restore {
        ui::cBrowseForFolder& b;
        std::string title;
        ~Restore() { b.setTitle(title); }
    } restore{b, usual};
    return b.BrowseForFolder();
}

void ShredderPage::cmdFolder_Click() {
    ui::guarded([&] {
        m_s.view.setCaption("lblStatus", "");
        m_sSelectedFile.clear();
        const std::string chosen = browseForFolder({});
        if (chosen.empty()) return;
        m_many.clear();
        m_sSelectedFolder = chosen;
        m_s.view.setEnabled("cmdDelete", true);
    });
    showChoice();
}

void ShredderPage::showChoice() {
    ui::guarded([&] {
        const std::string& chosen = m_sSelectedFile.empty() ? m_sSelectedFolder : m_sSelectedFile;
        const bool armed = m_s.view.isEnabled("cmdDelete") || m_s.busy.running(ui::BusyState::Run::Shred);
        const std::string shown = !m_many.empty()   ? m_say.chosenCount(m_many.size())
                                  : !chosen.empty() ? platform::shownPath(chosen)
                                                    : std::string();
        m_s.view.setCaption("lblChosen", armed ? shown : std::string());
        m_s.view.setVisible("cmdChosenList", !m_many.empty() && !m_s.busy.any() && m_s.view.isVisible("cmdFile"));
    });
}

void ShredderPage::cmdChosenList_Click() {
    if (m_many.empty()) return;
    ui::guarded([&] {
        std::vector<std::string> shown;
        shown.reserve(m_many.size());
        for (const auto& p : m_many) shown.push_back(platform::shownPath(p));
        (void)m_s.ui.messageBoxWithDetails(m_say.chosenCount(m_many.size()), text(text::AppTitle), MsgButtons::Ok,
                                           MsgIcon::Information, MsgDefault::First, text(text::ShowChosenList), shown);
    });
}

bool ShredderPage::canChoose() { return !m_s.busy.any() && m_s.view.isVisible("cmdFile"); }

bool ShredderPage::choose(const std::vector<std::string>& paths) {
    if (!canChoose()) return false;
    // The same thing twice would be shredded once and then reported gone.
    std::vector<std::string> unique;
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    std::set<std::string> named;
    for (const auto& p : paths) {
        if (p.empty() || !named.insert(p).second) continue;
        const auto st = m_s.files.status(platform::pathFromUtf8(p));
        const bool known = st && st->type != FileType::NotFound && (st->device != 0 || st->inode != 0);
        if (known && !seen.emplace(st->device, st->inode).second) continue;
        unique.push_back(p);
    }
    if (unique.empty()) return false;
    m_s.view.setCaption("lblStatus", "");
    m_sSelectedFile.clear();
    m_sSelectedFolder.clear();
    m_many.clear();
    if (unique.size() == 1) {
        const auto st = m_s.files.status(platform::pathFromUtf8(unique.front()));
        (st && st->type == FileType::Directory ? m_sSelectedFolder : m_sSelectedFile) = unique.front();
    } else {
        m_many = std::move(unique);
    }
    m_s.view.setEnabled("cmdDelete", true);
    showChoice();
    return true;
}

bool ShredderPage::confirmProtected(const std::string& path, bool folder) {
    if (m_resuming) return true;
    const Protection kind = m_protected.of(path, folder);
    if (kind == Protection::None) return true;
    return m_s.ui.messageBox(m_say.protectedChoice(kind, path, folder),
                             text(folder ? text::ConfirmFolderShredTitle : text::ConfirmFileShredTitle),
                             MsgButtons::YesNo, MsgIcon::Exclamation, MsgDefault::Second) == MsgAnswer::Yes;
}

void ShredderPage::cmdDelete_Click() {
    // However the click ends (declined, refused, run, stopped), the label follows the choice;
    // unless the window closed at the run's end and the page went with it.
    struct ShowChoiceAfter {
        ShredderPage& page;
        std::weak_ptr<int> alive;
        ~ShowChoiceAfter() {
            if (!alive.expired()) page.showChoice();
        }
    } after{*this, m_alive};
    m_s.view.setVisible("cmdChosenList", false);
    m_completed = 0;
    m_left = {};
    m_s.view.setCaption("lblStatus", "");
    if (!m_many.empty()) {
        shredChosenItems();
    } else if (!m_sSelectedFile.empty()) {
        if (!confirmProtected(m_sSelectedFile, false)) {
            m_s.view.setEnabled("cmdDelete", false);
            m_sSelectedFile.clear();
            return;
        }
        shredSelectedFile();
    } else if (!m_sSelectedFolder.empty()) {
        if (!confirmProtected(m_sSelectedFolder, true)) {
            m_s.view.setEnabled("cmdDelete", false);
            m_sSelectedFolder.clear();
            return;
        }
        // An Abort of the previous run leaves the button disabled.
        m_s.view.setEnabled("cmdCancel", true);
        shredSelectedFolder();
    }
}

void ShredderPage::cmdCancel_Click() {
    // Between runs there is nothing to stop: remembered, the click would silently stop the next
    // run before its first file.
    if (!m_s.busy.running(ui::BusyState::Run::Shred)) return;
    m_bAbort = true;
    // The current file may take minutes: say at once that the click was heard, and what it does.
    m_s.view.setEnabled("cmdCancel", false);
    m_s.view.setCaption("lblStatus", text(text::StoppingStatus));
}

void ShredderPage::beginRun(bool folderMode) {
    if (folderMode) {
        m_s.view.setVisible("cmdCancel", true);
        m_s.view.setVisible("cmdQuit", false);
    }
    m_bAbort = false;
    m_s.view.setEnabled("cmdDelete", false);
    m_s.view.setEnabled("cmdWipeFree", false);
    m_s.busy.beginRun(ui::BusyState::Run::Shred, m_s.view);
    // Without the record a crash goes unnoticed at the next start, but the run itself is sound.
    // Several things are recorded each in turn, as it is shredded.
    if (m_run && m_many.empty())
        ui::guarded([&] {
            (void)m_run->begin(folderMode, platform::pathFromUtf8(folderMode ? m_sSelectedFolder : m_sSelectedFile),
                               passCount());
        });
}

void ShredderPage::endRun(bool folderMode) {
    // Left behind, it would only offer at the next start a run already over; that is all.
    if (m_run) ui::guarded([&] { (void)m_run->end(); });
    m_s.busy.endRun(ui::BusyState::Run::Shred, m_s.view);
    if (!m_s.busy.any()) m_s.view.setEnabled("cmdWipeFree", true);
    if (folderMode) {
        m_s.view.setVisible("cmdCancel", false);
        m_s.view.setVisible("cmdQuit", true);
    }
}

FolderShred::Hooks ShredderPage::folderHooks() {
    FolderShred::Hooks hooks;
    hooks.beforeFile = [this] { prepareEngine(); };
    hooks.afterFile = [this](const ShredResult& r) {
        if (!r.ok() && r.status != ShredStatus::NotFound) hideProgress();
    };
    hooks.stopRequested = [this] { return m_bAbort; };
    return hooks;
}

void ShredderPage::hideProgress() {
    m_s.view.setVisible("pbCurrentPrgrs", false);
    m_s.view.setVisible("lblStat", false);
}

void ShredderPage::prepareEngine() {
    m_s.engine.setAttibs(true);
    m_s.engine.setSecurePass(passCount());
    m_s.engine.setProcessEvents([this] { m_s.ui.processPendingEvents(); });
}

ShredResult ShredderPage::shredOne(const std::string& path, const platform::FileStatus& confirmed, bool* moved) {
    prepareEngine();
    m_s.engine.setAllowedNames(confirmed.hardLinks);
    m_s.engine.setSourceFile(path);
    // Only the file the user confirmed: one put under its name while the question was open is
    // left alone.
    ShredResult r;
    // Whatever stops the shred part way is a failure the user is told about, never a success.
    ui::reportedStep(
        [&] {
            // The folder holding it is held from now on: whatever is put at the path meanwhile,
            // the name is looked up there and nowhere else.
            const HeldChoice held = HeldChoice::hold(m_s.files, path, false);
            switch (held.problem()) {
                case HeldChoice::Problem::None:
                    r = m_s.engine.shredIn(*held.parent(), held.name(), &confirmed);
                    if (moved) *moved = !held.stillAtPath(m_s.files);
                    break;
                case HeldChoice::Problem::Gone:
                    r = {ShredStatus::NotFound, {}};
                    break;
                case HeldChoice::Problem::Changed:
                case HeldChoice::Problem::LinkOnTheWay:
                    r = {ShredStatus::Changed, {}};
                    break;
                case HeldChoice::Problem::Unreadable:
                    r = {ShredStatus::OpenFailed, held.detail()};
                    break;
            }
        },
        [&](const std::string& why) {
            r = {ShredStatus::Unexpected, why};
        });
    return r;
}

std::optional<platform::RemainReason> ShredderPage::remainsWhere(const std::string& path) {
    if (!m_s.probe) return std::nullopt;
    std::optional<platform::RemainReason> remains;
    ui::guarded([&] {
        auto v = m_s.probe->examinePath(platform::pathFromUtf8(path));
        if (v && !v->inPlace()) remains = v->reason;
    });
    return remains;
}

void ShredderPage::shredSelectedFile() {
    const std::string path = m_sSelectedFile;
    auto st = m_s.files.status(platform::pathFromUtf8(path));
    const auto refuse = [&](bool gone) {
        m_sSelectedFile.clear();
        m_s.view.setEnabled("cmdDelete", false);
        m_s.ui.messageBox(m_say.notAFile(path, gone), text(text::AppTitle), MsgButtons::Ok, MsgIcon::Exclamation);
    };
    if (st && st->type == FileType::NotFound) return refuse(true);
    if (!st || st->type != FileType::Regular) return refuse(false);

    const auto declined = [&] {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFile.clear();
        if (!m_s.busy.any()) {
            m_s.view.setEnabled("cmdFolder", true);
            m_s.view.setEnabled("cmdFile", true);
        }
    };
    if (!m_resuming && m_s.ui.messageBox(m_say.confirmFile(path, remainsWhere(path)), text(text::ConfirmFileShredTitle),
                                         MsgButtons::YesNo, MsgIcon::Exclamation, MsgDefault::Second) != MsgAnswer::Yes)
        return declined();
    if (st->hardLinks > 1) {
        if (m_s.ui.messageBox(m_say.sharedContents(st->hardLinks - 1), text(text::ConfirmFileShredTitle),
                              MsgButtons::YesNo, MsgIcon::Exclamation, MsgDefault::Second) != MsgAnswer::Yes)
            return declined();
    }

    beginRun(false);
    bool moved = false;
    const ShredResult r = shredOne(path, *st, &moved);
    m_sSelectedFile.clear();
    if (r.ok() && !r.storage.mayRemain()) {
        m_s.view.setCaption("lblStatus", text(text::FileRemovedStatus));
    } else {
        hideProgress();
        m_s.view.setCaption("lblStatus", "");
    }
    endRun(false);
    const auto shown = m_say.fileResult(path, r, moved);
    m_s.ui.messageBox(shown.text, text(text::AppTitle), MsgButtons::Ok,
                      shown.warn ? MsgIcon::Exclamation : MsgIcon::Information);
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

void ShredderPage::shredSelectedFolder() {
    if (!m_resuming && m_s.ui.messageBox(m_say.confirmFolder(m_sSelectedFolder, remainsWhere(m_sSelectedFolder)),
                                         text(text::ConfirmFolderShredTitle), MsgButtons::YesNo, MsgIcon::Exclamation,
                                         MsgDefault::Second) != MsgAnswer::Yes) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        return;
    }
    const std::string folder = m_sSelectedFolder;
    auto st = m_s.files.status(folder);
    if (!st || st->type != FileType::Directory) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        m_s.ui.messageBox(m_say.folderNotHeld(folder, true, {}), text(text::AppTitle), MsgButtons::Ok,
                          MsgIcon::Exclamation);
        return;
    }

    // From here on the run goes through the folder as it is now, wherever it is moved meanwhile.
    HeldChoice held = HeldChoice::hold(m_s.files, folder, true);
    if (!held.ok()) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        const bool unreadable = held.problem() == HeldChoice::Problem::Unreadable;
        m_s.ui.messageBox(m_say.folderNotHeld(folder, unreadable, held.detail()), text(text::AppTitle), MsgButtons::Ok,
                          MsgIcon::Exclamation);
        return;
    }

    beginRun(true);
    FolderShred::Outcome outcome;
    ui::reportedStep([&] { outcome = FolderShred(m_s.files, m_s.engine, folderHooks()).run(held); },
                     [&](const std::string& why) {
                         FolderShred::Left l;
                         l.path = folder;
                         l.reason = FolderShred::Reason::Unexpected;
                         l.detail = why;
                         l.kind = FolderShred::Kind::Folder;
                         outcome.left.push_back(std::move(l));
                     });
    m_left = tallyLeft(m_s.files, held);
    // Let go before the message: on Windows a held folder cannot be renamed while it is open.
    held = HeldChoice();
    const auto shown = m_say.folderResult(folder, outcome, m_left, m_completed);
    if (outcome.aborted) {
        m_bAbort = false;
        endRun(true);
        m_s.view.setCaption("lblStatus", text(text::AbortedStatus));
        showChoice();
        // An account of the stop: what was shredded, and what is still there.
        m_s.ui.messageBox(shown.text, text(text::AppTitle), MsgButtons::Ok, MsgIcon::Exclamation);
        if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
        return;
    }

    m_sSelectedFolder.clear();
    m_s.view.setEnabled("cmdDelete", false);
    m_s.view.setCaption("lblStatus", "");
    hideProgress();
    // Abort must not stay on show behind the final message, as if the run could still be stopped.
    endRun(true);
    m_s.ui.messageBox(shown.text, text(text::AppTitle), MsgButtons::Ok,
                      shown.warn ? MsgIcon::Exclamation : MsgIcon::Information);
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

void ShredderPage::shredChosenItems() {
    using How = ShredMessages::ItemEnd::How;
    const std::vector<std::string> chosen = m_many;
    const auto dropChoice = [&] {
        m_many.clear();
        m_s.view.setEnabled("cmdDelete", false);
    };
    // What each thing was when the user looked at it; what is left out is accounted for at the end.
    std::vector<ShredMessages::ItemEnd> ends(chosen.size());
    std::vector<std::optional<platform::FileStatus>> seen(chosen.size());
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        ends[i].path = chosen[i];
        auto st = m_s.files.status(platform::pathFromUtf8(chosen[i]));
        if (!st) {
            ends[i].why = m_say.reasonFor(ShredResult{ShredStatus::OpenFailed, st.error().message});
        } else if (st->type == FileType::NotFound) {
            ends[i].why = m_say.reasonFor(ShredResult{ShredStatus::NotFound});
        } else if (st->type != FileType::Regular && st->type != FileType::Directory) {
            ends[i].why = m_say.reasonFor(ShredResult{ShredStatus::NotRegularFile});
        } else if (!confirmProtected(chosen[i], st->type == FileType::Directory)) {
            ends[i].why = text(text::ReasonDeclinedByUser);
        } else {
            seen[i] = *st;
        }
    }
    std::vector<std::string> going;
    for (std::size_t i = 0; i < chosen.size(); ++i)
        if (seen[i]) going.push_back(chosen[i]);
    if (!going.empty()) {
        std::vector<std::string> shownList;
        shownList.reserve(going.size());
        for (const auto& g : going) shownList.push_back(platform::shownPath(g));
        if (m_s.ui.messageBoxWithDetails(m_say.confirmMany(going), text(text::ConfirmManyShredTitle), MsgButtons::YesNo,
                                         MsgIcon::Exclamation, MsgDefault::Second, text(text::ShowChosenList),
                                         shownList) != MsgAnswer::Yes)
            return dropChoice();
    }
    // A file whose contents other names share says so on its own, as it does when chosen alone.
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (!seen[i] || seen[i]->type != FileType::Regular || seen[i]->hardLinks <= 1) continue;
        if (m_s.ui.messageBox(
                platform::shownPath(chosen[i]) + "\r\n\r\n" + m_say.sharedContents(seen[i]->hardLinks - 1),
                text(text::ConfirmFileShredTitle), MsgButtons::YesNo, MsgIcon::Exclamation,
                MsgDefault::Second) != MsgAnswer::Yes) {
            seen[i].reset();
            ends[i].why = text(text::ReasonDeclinedByUser);
        }
    }
    // Held from the Yes to the end of the run: nothing put under these names meanwhile is touched.
    std::vector<std::optional<HeldChoice>> held(chosen.size());
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (!seen[i]) continue;
        const bool folder = seen[i]->type == FileType::Directory;
        ui::reportedStep([&] { held[i] = HeldChoice::hold(m_s.files, chosen[i], folder); },
                         [&](const std::string& why) {
                             ends[i].why = m_say.reasonFor(ShredResult{ShredStatus::Unexpected, why});
                         });
        if (!held[i]) {
            seen[i].reset();
            continue;
        }
        ShredStatus problem = ShredStatus::Shredded;
        switch (held[i]->problem()) {
            case HeldChoice::Problem::None:
                // A folder put under the name while the question was open is not the one confirmed.
                if (folder && held[i]->seen().identity() != seen[i]->identity()) problem = ShredStatus::Changed;
                break;
            case HeldChoice::Problem::Gone:
                problem = ShredStatus::NotFound;
                break;
            case HeldChoice::Problem::Changed:
            case HeldChoice::Problem::LinkOnTheWay:
                problem = ShredStatus::Changed;
                break;
            case HeldChoice::Problem::Unreadable:
                problem = ShredStatus::OpenFailed;
                break;
        }
        if (problem != ShredStatus::Shredded) {
            ends[i].why = m_say.reasonFor(ShredResult{problem, held[i]->detail()});
            seen[i].reset();
            held[i].reset();
        }
    }

    std::size_t total = 0;
    bool filesOnly = true;
    for (const auto& st : seen)
        if (st) {
            ++total;
            filesOnly = filesOnly && st->type == FileType::Regular;
        }
    m_s.view.setEnabled("cmdCancel", true);
    beginRun(true);
    std::size_t at = 0;
    bool stopped = false;
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        if (!seen[i]) continue;
        if (m_bAbort) stopped = true;
        if (stopped) {
            ends[i].how = How::NotReached;
            held[i].reset();
            continue;
        }
        m_itemLine = m_say.itemLine(++at, total, filesOnly);
        m_s.view.setCaption("lblStatus", m_itemLine);
        if (m_run)
            ui::guarded([&] {
                (void)m_run->begin(seen[i]->type == FileType::Directory, platform::pathFromUtf8(chosen[i]),
                                   passCount());
            });
        ends[i] = shredItem(*held[i], *seen[i]);
        ends[i].path = chosen[i];
        if (m_run) ui::guarded([&] { (void)m_run->end(); });
        held[i].reset();
    }
    m_itemLine.clear();
    const bool aborted = m_bAbort || stopped;
    m_bAbort = false;
    dropChoice();
    hideProgress();
    m_s.view.setCaption("lblStatus", aborted ? text(text::AbortedStatus) : std::string());
    endRun(true);
    const auto shown = m_say.manyResult(ends);
    m_s.ui.messageBoxWithDetails(shown.text, text(text::AppTitle), MsgButtons::Ok,
                                 shown.warn ? MsgIcon::Exclamation : MsgIcon::Information, MsgDefault::First,
                                 text(text::ShowChosenList), m_say.manyDetails(ends));
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

ShredMessages::ItemEnd ShredderPage::shredItem(HeldChoice& held, const platform::FileStatus& seen) {
    using How = ShredMessages::ItemEnd::How;
    if (seen.type == FileType::Regular) {
        prepareEngine();
        m_s.engine.setAllowedNames(seen.hardLinks);
        m_s.engine.setSourceFile(held.path());
        ShredResult r;
        ui::reportedStep([&] { r = m_s.engine.shredIn(*held.parent(), held.name(), &seen); },
                         [&](const std::string& why) {
                             r = {ShredStatus::Unexpected, why};
                         });
        if (!r.ok()) return {{}, How::Left, m_say.reasonFor(r)};
        if (r.storage.mayRemain()) return {{}, How::MayRemain, m_say.remainText(r.storage.reason)};
        // Saying only that it was deleted would send the user to what now stands at its path.
        if (!held.stillAtPath(m_s.files)) return {{}, How::Moved, {}};
        return {{}, How::Deleted, {}};
    }
    m_completed = 0;
    FolderShred::Outcome outcome;
    std::string failed;
    ui::reportedStep([&] { outcome = FolderShred(m_s.files, m_s.engine, folderHooks()).run(held); },
                     [&](const std::string& why) { failed = why; });
    if (!failed.empty()) return {{}, How::Left, m_say.reasonFor(ShredResult{ShredStatus::Unexpected, failed})};
    const ShredMessages::Tally left = tallyLeft(m_s.files, held);
    // The folder's own account, up to its first blank line, is what became of it.
    const std::string account = m_say.folderResult(held.path(), outcome, left, m_completed).text;
    const std::string verdict = account.substr(0, account.find("\r\n\r\n"));
    if (outcome.done() && left.files == 0 && left.folders == 0 && left.others == 0) {
        if (!outcome.remained.empty()) return {{}, How::MayRemain, verdict};
        return {{}, outcome.choiceMoved ? How::Moved : How::Deleted, {}};
    }
    return {{}, How::Left, verdict};
}

ShredMessages::Tally ShredderPage::tallyLeft(platform::IFileService& files, HeldChoice& held) {
    ShredMessages::Tally t;
    ui::guarded([&] {
        // The folder still held after a stop; after a removal that left something, the one its
        // held parent still has under its name, and only if it is the same folder.
        std::unique_ptr<platform::IDirectory> reopened;
        platform::IDirectory* folder = held.folder();
        if (!folder && held.parent()) {
            auto st = held.parent()->statAt(held.name());
            if (!st || st->type != FileType::Directory || st->identity() != held.seen().identity()) return;
            auto d = held.parent()->openDir(held.name());
            if (!d) return;
            reopened = std::move(*d);
            folder = reopened.get();
        }
        if (!folder) return;
        cRecurse walk(files);
        std::set<std::string> entered;
        (void)walk.visit(*folder, held.path(), [&](const cRecurse::Found& f) {
            if (f.enteredFolder) {
                ++t.folders;
                entered.insert(f.path);
            } else if (f.entry.type == FileType::Regular) {
                ++t.files;
                if (t.firstFiles.size() < ui::ListedMessage::kMaxListed) t.firstFiles.push_back(f.path);
            } else if (f.entry.type != FileType::NotFound) {
                ++t.others;
            }
            return true;
        });
        // Folders it could not enter are there all the same; the chosen one is not counted.
        for (const auto& n : walk.notEntered()) {
            if (n.mountPoint)
                ++t.others;
            else if (!entered.contains(n.path) && platform::pathFromUtf8(n.path) != platform::pathFromUtf8(held.path()))
                ++t.folders;
        }
    });
    return t;
}

void ShredderPage::resume(const InterruptedRun::Record& r) {
    if (m_s.busy.any()) return;
    const int before = m_s.view.comboSelectedIndex("cmbSecure");
    bool level = false;
    for (int i = 0; i < 3 && !level; ++i) {
        m_s.view.setComboSelectedIndex("cmbSecure", i);
        level = passCount() == r.passes;
    }
    const auto st = m_s.files.status(r.choice);
    const bool same =
        st && st->identity() == r.choiceId && st->type == (r.folder ? FileType::Directory : FileType::Regular);
    if (!level || !same) {
        m_s.view.setComboSelectedIndex("cmbSecure", before);
        if (m_run) (void)m_run->forget();  // the message below is all there is to do about it
        const std::string shown =
            m_say.resumeRefused(level, platform::utf8Of(level || !m_run ? r.choice : m_run->file()));
        m_s.ui.messageBox(shown, text(text::AppTitle), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    m_many.clear();
    m_sSelectedFile = r.folder ? std::string() : platform::utf8Of(r.choice);
    m_sSelectedFolder = r.folder ? platform::utf8Of(r.choice) : std::string();
    m_s.view.setEnabled("cmdDelete", true);
    m_resuming = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{m_resuming};
    cmdDelete_Click();
}

void ShredderPage::cmdWipeFree_Click() {
    if (m_s.busy.any()) return;
    const std::string title = text(text::WipeFreeTitle);
    if (!m_wipe) {
        m_s.ui.messageBox(m_wipeSay.result({}).text, title, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    std::string folder;
    ui::guarded([&] {
        m_s.view.setCaption("lblStatus", "");
        folder = browseForFolder(text(text::WipeFreeChooseFolder));
    });
    if (folder.empty()) return;
    if (m_s.ui.messageBox(m_wipeSay.confirm(folder), title, MsgButtons::YesNo, MsgIcon::Exclamation,
                          MsgDefault::Second) != MsgAnswer::Yes)
        return;
    // Offered only where the drive takes it: elsewhere the question would promise nothing.
    const platform::DeviceKind drive = m_wipe->device(platform::pathFromUtf8(folder));
    m_wipe->setDiscard(drive.known && drive.solidState && drive.discard &&
                       m_s.ui.messageBox(text(text::WipeFreeDiscardQuestion), title, MsgButtons::YesNo,
                                         MsgIcon::Question, MsgDefault::Second) == MsgAnswer::Yes);

    // The run's controls as a folder shred shows them: Abort in Quit's place, the starts off.
    const bool deleteWasOn = m_s.view.isEnabled("cmdDelete");
    m_bAbort = false;
    m_s.view.setEnabled("cmdDelete", false);
    m_s.view.setEnabled("cmdWipeFree", false);
    m_s.view.setEnabled("cmdCancel", true);
    m_s.view.setVisible("cmdCancel", true);
    m_s.view.setVisible("cmdQuit", false);
    m_s.busy.beginRun(ui::BusyState::Run::Shred, m_s.view);
    FreeSpaceWipe::Report report;
    report.folder = platform::pathFromUtf8(folder);
    ui::reportedStep([&] { report = m_wipe->run(platform::pathFromUtf8(folder), *this); },
                     [&](const std::string& why) { report.failure = why.empty() ? text(text::WipeFreeFailed) : why; });
    const bool stopped = report.aborted;
    m_bAbort = false;
    m_s.busy.endRun(ui::BusyState::Run::Shred, m_s.view);
    m_s.view.setVisible("cmdCancel", false);
    m_s.view.setVisible("cmdQuit", true);
    m_s.view.setEnabled("cmdWipeFree", true);
    m_s.view.setEnabled("cmdDelete", deleteWasOn);
    hideProgress();
    m_s.view.setCaption("lblStatus", stopped ? text(text::AbortedStatus) : std::string());
    const auto shown = m_wipeSay.result(report);
    m_s.ui.messageBox(shown.text, title, MsgButtons::Ok, shown.warn ? MsgIcon::Exclamation : MsgIcon::Information);
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

void ShredderPage::wipeStep(WipeStep step) {
    ui::guarded([&] {
        const bool onPage = m_s.view.isVisible("cmdFile");
        if (step == WipeStep::Filling) {
            m_s.view.setProgressMax("pbCurrentPrgrs", 1000);
            m_s.view.setProgressValue("pbCurrentPrgrs", 0);
            m_s.view.setVisible("pbCurrentPrgrs", onPage);
            m_s.view.setVisible("lblStat", onPage);
        } else {
            hideProgress();
        }
        m_s.view.setCaption("lblStatus", m_wipeSay.stepLine(step));
        m_s.ui.processPendingEvents();
    });
}

void ShredderPage::wipeProgress(const WipeProgress& p) {
    ui::guarded([&] {
        const std::uint64_t of = std::max<std::uint64_t>(p.expected, 1);
        const auto permille = static_cast<std::int32_t>(std::min<std::uint64_t>(p.written * 1000 / of, 1000));
        m_s.view.setProgressValue("pbCurrentPrgrs", permille);
        m_s.view.setCaption("lblStat", std::to_string(permille / 10) + "%");
        m_s.view.setCaption("lblStatus", m_bAbort ? text(text::StoppingStatus) : m_wipeSay.progressLine(p));
        m_s.ui.processPendingEvents();
    });
}

bool ShredderPage::wipeStopRequested() { return m_bAbort; }

bool ShredderPage::QueryClose(std::function<void()> whenStopped) {
    if (!m_s.busy.running(ui::BusyState::Run::Shred)) return true;
    if (m_s.ui.messageBox(text(text::ConfirmQuitWhileShredding), text(text::AppTitle), MsgButtons::YesNo,
                          MsgIcon::Question) == MsgAnswer::Yes) {
        cmdCancel_Click();
        m_whenStopped = std::move(whenStopped);
    }
    return false;
}

// The progress display belongs to the shredder page: while another page is shown it stays
// hidden instead of appearing over that page's controls.
void ShredderPage::eSCompPMax(std::int32_t lmax) {
    // The engine names the file it has just opened; the level is the one it was just given.
    if (m_run && lmax > 0)
        ui::guarded([&] { (void)m_run->fileBegins(platform::pathFromUtf8(m_s.engine.SourceFile()), passCount()); });
    ui::guarded([&] {
        const std::string shown = platform::shownPath(m_itemLine.empty() ? m_sSelectedFolder : m_s.engine.SourceFile());
        const auto slash = shown.find_last_of(static_cast<char>(std::filesystem::path::preferred_separator));
        const std::string name = slash == std::string::npos ? shown : shown.substr(slash + 1);
        m_s.view.setProgressMax("pbCurrentPrgrs", lmax);
        const bool onPage = m_s.view.isVisible("cmdFile");
        m_s.view.setVisible("pbCurrentPrgrs", onPage);
        m_s.view.setVisible("lblStat", onPage);
        m_s.view.setCaption("lblStatus", m_itemLine.empty() ? m_say.shreddingLine(name) : m_itemLine + ": " + name);
    });
}

void ShredderPage::eSCompPTick(std::int32_t lCnt) {
    if (m_run) ui::guarded([&] { (void)m_run->passDone(); });
    ui::guarded([&] {
        const std::int64_t max = m_s.view.progressMax("pbCurrentPrgrs");
        const double percent = max == 0 ? 0.0 : static_cast<double>(lCnt) / static_cast<double>(max) * 100.0;
        std::fesetround(FE_TONEAREST);
        const auto rounded = static_cast<long long>(std::nearbyint(percent));
        m_s.view.setProgressValue("pbCurrentPrgrs", lCnt);
        m_s.view.setCaption("lblStat", std::to_string(rounded) + "%");
        const std::string line = m_say.passLine(lCnt, m_s.view.progressMax("pbCurrentPrgrs"), m_bAbort);
        m_s.view.setCaption("lblStatus", m_itemLine.empty() ? line : m_itemLine + ": " + line);
    });
}

void ShredderPage::eSCompComplete() {
    ++m_completed;
    if (m_run) m_run->fileFinished();
    ui::guarded([&] {
        hideProgress();
        const std::string line = m_say.fileDoneLine(m_bAbort);
        m_s.view.setCaption("lblStatus", m_itemLine.empty() ? line : m_itemLine + ": " + line);
    });
}

}  // namespace quenvor::shredder
