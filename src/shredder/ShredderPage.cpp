#include "shredder/ShredderPage.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <optional>
#include <utility>

#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/IStorageProbe.h"
#include "platform/Utf8Path.h"
#include "shredder/FolderShred.h"
#include "shredder/cPattern.h"
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
using ui::MsgIcon;

ShredderPage::ShredderPage(Services s) : m_s(s), m_check(s.probe) {
    m_s.engine.setEvents(this);
    m_check.attachTo(m_s.engine);
}

ShredderPage::~ShredderPage() {
    m_s.engine.setEvents(nullptr);
    m_s.engine.setOpenFileChecks({}, {});
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
}

namespace {

// The first line of the file-mode message, by what became of the file: one that was
// overwritten must not be called "not shredded", nor one left partly overwritten unchanged.
int fileHeading(const ShredResult& r) {
    switch (r.status) {
        case ShredStatus::RemovalPending:
        case ShredStatus::RemovalFailed:
        case ShredStatus::NameReplaced:
            return 303;
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
    const int kind = protectedKind(path, folder);
    if (kind == 0) return true;
    const std::string ask = text(kind) + "\r\n" + platform::shownPath(path) + "\r\n\r\n" + text(folder ? 311 : 312);
    return m_s.ui.messageBox(ask, text(folder ? 148 : 145), MsgButtons::YesNo, MsgIcon::Exclamation) == MsgAnswer::Yes;
}

void ShredderPage::cmdDelete_Click() {
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
}

void ShredderPage::endRun(bool folderMode) {
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

ShredResult ShredderPage::shredOne(const std::string& path, const platform::FileStatus& confirmed) {
    prepareEngine();
    m_s.engine.setAllowedNames(confirmed.hardLinks);
    m_s.engine.setSourceFile(path);
    // Only the file the user confirmed: one put under its name while the question was open is
    // left alone.
    const std::filesystem::path p = platform::pathFromUtf8(path);
    ShredResult r;
    // Whatever stops the shred part way is a failure the user is told about, never a success.
    ui::reportedStep(
        [&] {
            if (auto folder = m_s.files.openDirectory(p.parent_path()); folder && !p.filename().empty())
                r = m_s.engine.shredIn(**folder, platform::utf8Of(p.filename()), &confirmed);
            else
                r = m_s.engine.DeleteFileByPattern();
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
            return text(187);
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
            reason = text(186);
            break;
        case ShredStatus::Changed:
            reason = text(200);
            break;
        case ShredStatus::NameReplaced:
            reason = text(201);
            break;
        case ShredStatus::KeptGrowing:
            reason = text(203);
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
    if (m_s.ui.messageBox(ui::StringTable::ExpandLineBreaks(text(144)) + storageNote(path), text(145),
                          MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes)
        return declined();
    if (st->hardLinks > 1) {
        const std::string ask =
            ui::replaceAll(ui::StringTable::ExpandLineBreaks(text(182)), "%1", std::to_string(st->hardLinks - 1));
        if (m_s.ui.messageBox(ask, text(145), MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes)
            return declined();
    }

    beginRun(false);
    const ShredResult r = shredOne(path, *st);
    m_sSelectedFile.clear();
    if (r.ok() && !r.storage.mayRemain()) {
        m_s.view.setCaption("lblStatus", text(146));
    } else {
        hideProgress();
        m_s.view.setCaption("lblStatus", "");
    }
    endRun(false);
    bool warn = false;
    const std::string shown = fileMessage(path, r, warn);
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
    if (m_s.ui.messageBox(ui::StringTable::ExpandLineBreaks(text(147)) + storageNote(m_sSelectedFolder), text(148),
                          MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes) {
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

    beginRun(true);
    FolderShred::Hooks hooks;
    hooks.beforeFile = [this] { prepareEngine(); };
    hooks.afterFile = [this](const ShredResult& r) {
        if (!r.ok() && r.status != ShredStatus::NotFound) hideProgress();
    };
    hooks.stopRequested = [this] { return m_bAbort; };
    FolderShred::Outcome outcome;
    ui::reportedStep([&] { outcome = FolderShred(m_s.files, m_s.engine, std::move(hooks)).run(folder); },
                     [&](const std::string& why) {
                         FolderShred::Left l;
                         l.path = folder;
                         l.reason = FolderShred::Reason::Unexpected;
                         l.detail = why;
                         l.kind = FolderShred::Kind::Folder;
                         outcome.left.push_back(std::move(l));
                     });
    bool warn = false;
    const std::string shown = folderMessage(outcome, warn);
    if (outcome.aborted) {
        m_bAbort = false;
        endRun(true);
        m_s.view.setCaption("lblStatus", text(149));
        if (!outcome.left.empty() || !outcome.remained.empty())
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

std::string ShredderPage::folderMessage(const FolderShred::Outcome& o, bool& warn) {
    using Kind = FolderShred::Kind;
    const auto count = [](std::string t, int n) { return ui::replaceAll(std::move(t), "%1", std::to_string(n)); };
    std::string shown;
    if (!o.left.empty()) {
        const int filesLeft = o.leftOf(Kind::File);
        // Only files are counted as files: a folder or a mount point left is no file unshredded.
        ui::ListedMessage msg(filesLeft > 0 ? ui::replaceAll(count(text(165), filesLeft), "%2", std::to_string(o.files))
                                            : count(text(280), o.files),
                              text(189));
        bool fileInPlace = false;
        for (const auto& l : o.left) {
            fileInPlace = fileInPlace || (l.leftInPlace && l.kind == Kind::File);
            msg.add(platform::shownPath(l.path) + ": " + reasonFor(l));
        }
        shown = msg.text();
        if (!o.remained.empty()) {
            const int n = static_cast<int>(o.remained.size());
            ui::ListedMessage rest(count(text(n == 1 ? platform::storage_text::kCountMayRemainOne
                                                     : platform::storage_text::kCountMayRemain),
                                         n),
                                   text(189));
            for (const auto& r : o.remained) rest.add(platform::shownPath(r.path) + ": " + remainText(r.reason));
            shown += "\r\n\r\n" + rest.text();
        }
        std::string counts = text(281);
        const int values[] = {o.files, o.folders, o.others, filesLeft, o.leftOf(Kind::Folder), o.leftOf(Kind::Other)};
        for (int i = 0; i < 6; ++i)
            counts = ui::replaceAll(counts, "%" + std::to_string(i + 1), std::to_string(values[i]));
        shown += uncheckedList(o) + "\r\n\r\n" + counts;
        if (o.diskFull) shown += "\r\n\r\n" + text(disk_full_text::kFolderStopped);
        if (fileInPlace) shown += "\r\n\r\n" + text(190);
        warn = true;
        return shown;
    }
    if (!o.remained.empty()) {
        ui::ListedMessage msg(text(platform::storage_text::kFolderMayRemain), text(189));
        for (const auto& r : o.remained) msg.add(platform::shownPath(r.path) + ": " + remainText(r.reason));
        shown = msg.text();
        warn = true;
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
    ui::guarded([&] {
        hideProgress();
        m_s.view.setCaption("lblStatus", runStatus(text(107)));
    });
}

}  // namespace quenvor::shredder
