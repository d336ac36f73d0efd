#include "shredder/ShredderPage.h"

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

ShredderPage::ShredderPage(Services s) : m_s(s), m_check(s.probe) {
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
        dlg.setDialogTitle(text(150));
        dlg.setCancelError(true);
        dlg.setHwnd(m_owner);
        dlg.setFlags(ui::kOfnPathMustExist | ui::kOfnFileMustExist);
        dlg.setFilter(text(155) + " (*.*)|*.*");
        dlg.setFilterIndex(1);
        dlg.ShowOpen();
        m_sSelectedFile = dlg.Filename();
        m_s.view.setEnabled("cmdDelete", true);
    });
    showChoice();
}

void ShredderPage::cmdFolder_Click() {
    ui::guarded([&] {
        m_s.view.setCaption("lblStatus", "");
        m_sSelectedFile.clear();
        auto& b = m_s.folderBrowser;
        b.setHwndOwner(m_owner);
        b.setInitialDir(m_s.folders ? platform::utf8Of(m_s.folders->programFolder()) : std::string());
        b.setFileSystemOnly(true);
        b.setStatusText(true);
        b.setEditBox(true);
        b.setUseNewUI(true);
        const std::string chosen = b.BrowseForFolder();
        if (chosen.empty()) return;
        m_sSelectedFolder = chosen;
        m_s.view.setEnabled("cmdDelete", true);
    });
    showChoice();
}

void ShredderPage::showChoice() {
    ui::guarded([&] {
        const std::string& chosen = m_sSelectedFile.empty() ? m_sSelectedFolder : m_sSelectedFile;
        const bool armed = m_s.view.isEnabled("cmdDelete") || m_s.busy.running(ui::BusyState::Run::Shred);
        m_s.view.setCaption("lblChosen", armed && !chosen.empty() ? platform::shownPath(chosen) : std::string());
    });
}

std::string ShredderPage::askAbout(int id, const std::string& path) {
    std::string ask = ui::StringTable::ExpandLineBreaks(text(id));
    const auto lf = ask.find('\n');
    if (lf == std::string::npos) return ask + "\r\n" + platform::shownPath(path);
    // The same line break as the text's own.
    const std::string br = lf > 0 && ask[lf - 1] == '\r' ? "\r\n" : "\n";
    return ask.insert(lf + 1, platform::shownPath(path) + br);
}

namespace {

// The first line of the file-mode message, by what became of the file: one that was
// overwritten must not be called "not shredded", nor one left partly overwritten unchanged.
int fileHeading(const ShredResult& r) {
    switch (r.status) {
        case ShredStatus::RemovalPending:
        case ShredStatus::RemovalFailed:
        case ShredStatus::NameReplaced:
        case ShredStatus::NameMoved:
            return 303;
        case ShredStatus::NotFound:  // not shredded, and not in place either
            return held_text::kFileGoneHeading;
        case ShredStatus::WriteFailed:
        case ShredStatus::KeptGrowing:
        case ShredStatus::DiskFull:
        case ShredStatus::Unexpected:  // it may have stopped part way through the passes
            return 304;
        default:
            return 164;
    }
}

}  // namespace

int ShredderPage::protectedKind(const std::string& path, bool folder) {
    const auto idOf = [&](const std::filesystem::path& p) -> std::optional<platform::FileIdentity> {
        auto st = m_s.files.status(p);
        if (!st || st->type == FileType::NotFound) return std::nullopt;
        return st->identity();
    };
    auto chosen = m_s.files.status(platform::pathFromUtf8(path));
    if (!chosen || chosen->type == FileType::NotFound) return 0;
    const auto id = chosen->identity();
    if (!folder) {
        const auto program = m_s.folders ? m_s.folders->programFile() : std::filesystem::path();
        return !program.empty() && idOf(program) == id ? 310 : 0;
    }
    if (chosen->type != FileType::Directory) return 0;
    if (idOf("/") == id) return 308;
    if (m_s.folders) {
        std::filesystem::path p = m_s.folders->programFolder();
        if (!p.empty() && idOf(p) == id) return 305;
        for (; !p.empty() && p != p.parent_path(); p = p.parent_path())
            if (idOf(p.parent_path()) == id) return 306;
        if (const auto home = m_s.folders->homeFolder(); !home.empty() && idOf(home) == id) return 307;
    }
    // ".." of the folder itself, as the system resolves it, so a link on the way does not matter.
    if (auto above = m_s.files.status(platform::pathFromUtf8(path) / ".."); above) {
        const bool otherMount = chosen->mountId != 0 && above->mountId != 0 && chosen->mountId != above->mountId;
        if (above->device != chosen->device || otherMount) return 309;
    }
    return 0;
}

bool ShredderPage::confirmProtected(const std::string& path, bool folder) {
    if (m_resuming) return true;
    const int kind = protectedKind(path, folder);
    if (kind == 0) return true;
    const std::string ask = text(kind) + "\r\n" + platform::shownPath(path) + "\r\n\r\n" + text(folder ? 311 : 312);
    return m_s.ui.messageBox(ask, text(folder ? 148 : 145), MsgButtons::YesNo, MsgIcon::Exclamation,
                             MsgDefault::Second) == MsgAnswer::Yes;
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
    m_completed = 0;
    m_left = {};
    m_s.view.setCaption("lblStatus", "");
    if (!m_sSelectedFile.empty()) {
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
    m_bAbort = true;
    if (!m_s.busy.running(ui::BusyState::Run::Shred)) return;
    // The current file may take minutes: say at once that the click was heard, and what it does.
    m_s.view.setEnabled("cmdCancel", false);
    m_s.view.setCaption("lblStatus", text(313));
}

std::string ShredderPage::runStatus(const std::string& line) { return m_bAbort ? line + " " + text(314) : line; }

void ShredderPage::beginRun(bool folderMode) {
    if (folderMode) {
        m_s.view.setVisible("cmdCancel", true);
        m_s.view.setVisible("cmdQuit", false);
    }
    m_s.view.setEnabled("cmdDelete", false);
    m_s.busy.beginRun(ui::BusyState::Run::Shred, m_s.view);
    // Without the record a crash goes unnoticed at the next start, but the run itself is sound.
    if (m_run)
        ui::guarded([&] {
            (void)m_run->begin(folderMode, platform::pathFromUtf8(folderMode ? m_sSelectedFolder : m_sSelectedFile),
                               passCount());
        });
}

void ShredderPage::endRun(bool folderMode) {
    // Left behind, it would only offer at the next start a run already over; that is all.
    if (m_run) ui::guarded([&] { (void)m_run->end(); });
    m_s.busy.endRun(ui::BusyState::Run::Shred, m_s.view);
    if (folderMode) {
        m_s.view.setVisible("cmdCancel", false);
        m_s.view.setVisible("cmdQuit", true);
    }
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

std::string ShredderPage::movedNote(int id, const std::string& path, const std::string& rest) {
    const std::string note = text(id) + "\r\n" + platform::shownPath(path);
    return rest.empty() ? note : note + "\r\n\r\n" + rest;
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

std::string ShredderPage::unexpected(const std::string& detail) {
    return detail.empty() ? text(232) : text(232) + " (" + detail + ")";
}

std::string ShredderPage::remainText(platform::RemainReason r) {
    const int id = platform::remainReasonTextId(r);
    return text(id != 0 ? id : platform::remainReasonTextId(platform::RemainReason::Unverifiable));
}

std::string ShredderPage::storageNote(const std::string& path) {
    if (!m_s.probe) return {};
    std::string note;
    ui::guarded([&] {
        auto v = m_s.probe->examinePath(platform::pathFromUtf8(path));
        if (v && !v->inPlace())
            note = "\r\n\r\n" + ui::replaceAll(text(platform::storage_text::kConfirmNote), "%1", remainText(v->reason));
    });
    return note;
}

std::string ShredderPage::reasonFor(const FolderShred::Left& l) {
    const auto withDetail = [&](int id) { return l.detail.empty() ? text(id) : text(id) + " (" + l.detail + ")"; };
    switch (l.reason) {
        case FolderShred::Reason::Unreadable:
        case FolderShred::Reason::NotEntered:
            return withDetail(185);
        case FolderShred::Reason::NotRemoved:
            return withDetail(186);
        case FolderShred::Reason::OtherNames:
            return text(168);
        case FolderShred::Reason::MountPoint:
            return text(184);
        case FolderShred::Reason::Changed:
            return text(200);
        case FolderShred::Reason::FolderChanged:
            return text(202);
        case FolderShred::Reason::AppearedLate:
            return text(282);
        case FolderShred::Reason::Unexpected:
            return unexpected(l.detail);
        case FolderShred::Reason::FolderMoved:
            return text(held_text::kFolderMoved);
        case FolderShred::Reason::FileReplaced:
            return text(held_text::kFileReplaced);
        case FolderShred::Reason::NotShredded:
            break;
    }
    return reasonFor(l.result);
}

std::string ShredderPage::reasonFor(const ShredResult& r) {
    std::string reason;
    switch (r.status) {
        case ShredStatus::Shredded:
            return {};
        case ShredStatus::NotFound:
            return text(held_text::kFileGone);
        case ShredStatus::NotRegularFile:
            return text(181);
        case ShredStatus::NoPasses:
            return text(188);
        case ShredStatus::OpenFailed:
            reason = text(166);
            break;
        case ShredStatus::WriteFailed:
            reason = text(167);
            break;
        case ShredStatus::RemovalPending:
            reason = text(169);
            break;
        case ShredStatus::RemovalFailed:
        case ShredStatus::NotHidden:
            reason = text(186);
            break;
        case ShredStatus::Changed:
            reason = text(200);
            break;
        case ShredStatus::NameReplaced:
            reason = text(201);
            break;
        case ShredStatus::NameMoved:
            reason = text(held_text::kNameMoved);
            break;
        case ShredStatus::KeptGrowing:
            reason = text(203);
            break;
        case ShredStatus::LayerUnknown:
            reason = text(platform::storage_text::kLayerUnknown);
            break;
        case ShredStatus::DiskFull:
            reason = text(disk_full_text::kReason);
            break;
        case ShredStatus::Unexpected:
            return unexpected(r.detail);
    }
    if (!r.detail.empty()) reason += " (" + r.detail + ")";
    return reason;
}

void ShredderPage::shredSelectedFile() {
    const std::string path = m_sSelectedFile;
    auto st = m_s.files.status(platform::pathFromUtf8(path));
    const auto refuse = [&](int id) {
        m_sSelectedFile.clear();
        m_s.view.setEnabled("cmdDelete", false);
        m_s.ui.messageBox(text(id) + "\r\n" + platform::shownPath(path), text(154), MsgButtons::Ok,
                          MsgIcon::Exclamation);
    };
    if (st && st->type == FileType::NotFound) return refuse(187);
    if (!st || st->type != FileType::Regular) return refuse(181);

    const auto declined = [&] {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFile.clear();
        if (!m_s.busy.any()) {
            m_s.view.setEnabled("cmdFolder", true);
            m_s.view.setEnabled("cmdFile", true);
        }
    };
    if (!m_resuming && m_s.ui.messageBox(askAbout(144, path) + storageNote(path), text(145), MsgButtons::YesNo,
                                         MsgIcon::Exclamation, MsgDefault::Second) != MsgAnswer::Yes)
        return declined();
    if (st->hardLinks > 1) {
        const std::string ask =
            ui::replaceAll(ui::StringTable::ExpandLineBreaks(text(182)), "%1", std::to_string(st->hardLinks - 1));
        if (m_s.ui.messageBox(ask, text(145), MsgButtons::YesNo, MsgIcon::Exclamation, MsgDefault::Second) !=
            MsgAnswer::Yes)
            return declined();
    }

    beginRun(false);
    bool moved = false;
    const ShredResult r = shredOne(path, *st, &moved);
    m_sSelectedFile.clear();
    if (r.ok() && !r.storage.mayRemain()) {
        m_s.view.setCaption("lblStatus", text(146));
    } else {
        hideProgress();
        m_s.view.setCaption("lblStatus", "");
    }
    endRun(false);
    bool warn = false;
    std::string shown = fileMessage(path, r, warn);
    if (moved && r.ok()) {
        shown = movedNote(held_text::kFileMovedDone, path, shown == text(160) ? std::string() : shown);
        warn = true;
    }
    m_s.ui.messageBox(shown, text(154), MsgButtons::Ok, warn ? MsgIcon::Exclamation : MsgIcon::Information);
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

std::string ShredderPage::fileMessage(const std::string& path, const ShredResult& r, bool& warn) {
    warn = true;
    const std::string shown = platform::shownPath(path);
    if (!r.ok()) return text(fileHeading(r)) + "\r\n" + shown + "\r\n" + reasonFor(r);
    if (r.storage.mayRemain())
        return text(platform::storage_text::kFileMayRemain) + "\r\n" + shown + "\r\n" + remainText(r.storage.reason);
    warn = false;
    if (r.storage.unchecked) return text(160) + "\r\n\r\n" + text(platform::storage_text::kNotChecked) + ".";
    return text(160);
}

void ShredderPage::shredSelectedFolder() {
    if (!m_resuming &&
        m_s.ui.messageBox(askAbout(147, m_sSelectedFolder) + storageNote(m_sSelectedFolder), text(148),
                          MsgButtons::YesNo, MsgIcon::Exclamation, MsgDefault::Second) != MsgAnswer::Yes) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        return;
    }
    const std::string folder = m_sSelectedFolder;
    auto st = m_s.files.status(folder);
    if (!st || st->type != FileType::Directory) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        m_s.ui.messageBox(text(191) + "\r\n" + platform::shownPath(folder), text(154), MsgButtons::Ok,
                          MsgIcon::Exclamation);
        return;
    }

    // From here on the run goes through the folder as it is now, wherever it is moved meanwhile.
    HeldChoice held = HeldChoice::hold(m_s.files, folder, true);
    if (!held.ok()) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        const bool unreadable = held.problem() == HeldChoice::Problem::Unreadable;
        std::string why = text(unreadable ? 191 : held_text::kFolderNotHeld) + "\r\n" + platform::shownPath(folder);
        if (!held.detail().empty()) why += "\r\n" + held.detail();
        m_s.ui.messageBox(why, text(154), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }

    beginRun(true);
    FolderShred::Hooks hooks;
    hooks.beforeFile = [this] { prepareEngine(); };
    hooks.afterFile = [this](const ShredResult& r) {
        if (!r.ok() && r.status != ShredStatus::NotFound) hideProgress();
    };
    hooks.stopRequested = [this] { return m_bAbort; };
    FolderShred::Outcome outcome;
    ui::reportedStep([&] { outcome = FolderShred(m_s.files, m_s.engine, std::move(hooks)).run(held); },
                     [&](const std::string& why) {
                         FolderShred::Left l;
                         l.path = folder;
                         l.reason = FolderShred::Reason::Unexpected;
                         l.detail = why;
                         l.kind = FolderShred::Kind::Folder;
                         outcome.left.push_back(std::move(l));
                     });
    m_left = tallyLeft(held);
    // Let go before the message: on Windows a held folder cannot be renamed while it is open.
    held = HeldChoice();
    bool warn = false;
    std::string shown = folderMessage(outcome, warn);
    // Everything walked is gone, but the path shows something the run never touched: saying
    // only that the folder was deleted would send the user to the wrong place.
    if (outcome.choiceMoved && !outcome.aborted && outcome.left.empty()) {
        shown = movedNote(held_text::kFolderMovedDone, folder, shown == text(161) ? std::string() : shown);
        warn = true;
    }
    if (outcome.aborted) {
        m_bAbort = false;
        endRun(true);
        m_s.view.setCaption("lblStatus", text(149));
        showChoice();
        // An account of the stop: what was shredded, and what is still there.
        m_s.ui.messageBox(shown, text(154), MsgButtons::Ok, MsgIcon::Exclamation);
        if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
        return;
    }

    m_sSelectedFolder.clear();
    m_s.view.setEnabled("cmdDelete", false);
    m_s.view.setCaption("lblStatus", "");
    hideProgress();
    // Abort must not stay on show behind the final message, as if the run could still be stopped.
    endRun(true);
    m_s.ui.messageBox(shown, text(154), MsgButtons::Ok, warn ? MsgIcon::Exclamation : MsgIcon::Information);
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

std::string ShredderPage::counted(int n, int oneId, int manyId) {
    return n == 1 ? text(oneId) : ui::replaceAll(text(manyId), "%1", std::to_string(n));
}

std::string ShredderPage::leftList(const FolderShred::Outcome& o) {
    using namespace shred_text;
    // Only files are counted as files: a folder or a mount point left is no file unshredded.
    const int filesLeft = o.leftOf(FolderShred::Kind::File);
    std::string heading;
    if (filesLeft == 0)
        heading = o.files == 0 ? text(kNoneToShred) : counted(o.files, kOnlyShredded, 280);
    else if (o.files == 1)
        heading = text(kOnlyNotShredded);
    else
        heading = ui::replaceAll(
            filesLeft == 1 ? text(kOneNotShredded) : ui::replaceAll(text(165), "%1", std::to_string(filesLeft)), "%2",
            std::to_string(o.files));
    ui::ListedMessage msg(heading, text(189));
    for (const auto& l : o.left) msg.add(platform::shownPath(l.path) + ": " + reasonFor(l));
    return msg.text();
}

std::string ShredderPage::remainedList(const FolderShred::Outcome& o) {
    if (o.remained.empty()) return {};
    ui::ListedMessage rest(counted(static_cast<int>(o.remained.size()), platform::storage_text::kCountMayRemainOne,
                                   platform::storage_text::kCountMayRemain),
                           text(189));
    for (const auto& r : o.remained) rest.add(platform::shownPath(r.path) + ": " + remainText(r.reason));
    return "\r\n\r\n" + rest.text();
}

ShredderPage::Tally ShredderPage::tallyLeft(HeldChoice& held) {
    Tally t;
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
        ui::ListedMessage names({}, text(189));
        cRecurse walk(m_s.files);
        std::set<std::string> entered;
        (void)walk.visit(*folder, held.path(), [&](const cRecurse::Found& f) {
            if (f.enteredFolder) {
                ++t.folders;
                entered.insert(f.path);
            } else if (f.entry.type == FileType::Regular) {
                ++t.files;
                names.add(platform::shownPath(f.path));
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
        t.fileList = names.text();
    });
    return t;
}

std::string ShredderPage::abortMessage(const FolderShred::Outcome& o) {
    using namespace shred_text;
    // Passes that ran to the end, less the files whose name could not be removed afterwards.
    int shredded = m_completed;
    for (const auto& l : o.left)
        if (l.reason == FolderShred::Reason::NotShredded &&
            (l.result.status == ShredStatus::RemovalPending || l.result.status == ShredStatus::RemovalFailed ||
             l.result.status == ShredStatus::NameReplaced))
            --shredded;
    const Tally& t = m_left;
    std::string shown = counted(std::max(shredded, 0), kStoppedOne, kStopped) + "\r\n\r\n";
    if (t.files == 0)
        shown += text(kFolderStaysEmpty);
    else
        shown += counted(t.files, kFolderStaysOne, kFolderStays) + t.fileList;
    if (!o.left.empty()) shown += "\r\n\r\n" + leftList(o);
    return shown + remainedList(o) + uncheckedList(o);
}

std::string ShredderPage::folderMessage(const FolderShred::Outcome& o, bool& warn) {
    using namespace shred_text;
    warn = true;
    if (o.aborted) return abortMessage(o);
    if (!o.left.empty()) {
        std::string shown = leftList(o) + remainedList(o) + uncheckedList(o);
        // What is left is what is on the disk now: a name removed whose contents other names
        // keep is no longer in the folder.
        const Tally& t = m_left;
        const std::string parts[] = {counted(o.files, kOneFile, kFiles),       counted(o.folders, kOneFolder, kFolders),
                                     counted(o.others, kOneOther, kOthers),    counted(t.files, kOneFile, kFiles),
                                     counted(t.folders, kOneFolder, kFolders), counted(t.others, kOneOther, kOthers)};
        std::string counts = text(kCounts);
        for (int i = 0; i < 6; ++i)
            counts = ui::replaceAll(counts, "%" + std::to_string(i + 1), parts[static_cast<std::size_t>(i)]);
        shown += "\r\n\r\n" + counts;
        const bool fileInPlace = std::any_of(o.left.begin(), o.left.end(), [](const FolderShred::Left& l) {
            return l.leftInPlace && l.kind == FolderShred::Kind::File;
        });
        if (o.diskFull) shown += "\r\n\r\n" + text(disk_full_text::kFolderStopped);
        if (fileInPlace) shown += "\r\n\r\n" + text(190);
        return shown;
    }
    std::string shown;
    if (!o.remained.empty()) {
        ui::ListedMessage msg(text(platform::storage_text::kFolderMayRemain), text(189));
        for (const auto& r : o.remained) msg.add(platform::shownPath(r.path) + ": " + remainText(r.reason));
        shown = msg.text();
    } else {
        shown = text(161);
        warn = false;
    }
    return shown + uncheckedList(o);
}

std::string ShredderPage::uncheckedList(const FolderShred::Outcome& o) {
    if (o.unchecked.empty()) return {};
    ui::ListedMessage msg(text(platform::storage_text::kNotChecked) + ":", text(189));
    for (const auto& p : o.unchecked) msg.add(platform::shownPath(p));
    return "\r\n\r\n" + msg.text();
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
            level ? text(interrupted_text::kRefused) + "\r\n" + platform::shownPath(platform::utf8Of(r.choice))
                  : text(interrupted_text::kUnreadable) + "\r\n" +
                        platform::shownPath(platform::utf8Of(m_run ? m_run->file() : r.choice));
        m_s.ui.messageBox(shown, text(154), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
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

bool ShredderPage::QueryClose(std::function<void()> whenStopped) {
    if (!m_s.busy.running(ui::BusyState::Run::Shred)) return true;
    if (m_s.ui.messageBox(text(183), text(154), MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes) {
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
        const std::string shown = platform::shownPath(m_sSelectedFolder);
        const auto slash = shown.find_last_of(static_cast<char>(std::filesystem::path::preferred_separator));
        const std::string name = slash == std::string::npos ? shown : shown.substr(slash + 1);
        m_s.view.setProgressMax("pbCurrentPrgrs", lmax);
        const bool onPage = m_s.view.isVisible("cmdFile");
        m_s.view.setVisible("pbCurrentPrgrs", onPage);
        m_s.view.setVisible("lblStat", onPage);
        m_s.view.setCaption("lblStatus", text(143) + " " + name);
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
        m_s.view.setCaption("lblStatus", runStatus(text(108) + " " + std::to_string(lCnt) + " " + text(109) + " " +
                                                   std::to_string(m_s.view.progressMax("pbCurrentPrgrs"))));
    });
}

void ShredderPage::eSCompComplete() {
    ++m_completed;
    if (m_run) m_run->fileFinished();
    ui::guarded([&] {
        hideProgress();
        m_s.view.setCaption("lblStatus", runStatus(text(107)));
    });
}

}  // namespace quenvor::shredder
