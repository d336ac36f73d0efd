#include "shredder/ShredderPage.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <set>
#include <utility>

#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "shredder/FolderRemover.h"
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
using ui::MsgIcon;

namespace {}  // namespace

ShredderPage::ShredderPage(Services s) : m_s(s) { m_s.engine.setEvents(this); }

ShredderPage::~ShredderPage() { m_s.engine.setEvents(nullptr); }

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
        b.setInitialDir(m_s.folders ? m_s.folders->programFolder().string() : std::string());
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

void ShredderPage::cmdDelete_Click() {
    m_s.view.setCaption("lblStatus", "");
    if (!m_sSelectedFile.empty()) {
        shredSelectedFile();
    } else if (!m_sSelectedFolder.empty()) {
        shredSelectedFolder();
    }
}

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

ShredResult ShredderPage::shredOne(const std::string& path) {
    m_s.engine.setAttibs(true);
    m_s.engine.setSecurePass(passCount());
    m_s.engine.setSourceFile(path);
    m_s.engine.setProcessEvents([this] { m_s.ui.processPendingEvents(); });
    return m_s.engine.DeleteFileByPattern();
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
    }
    if (!r.detail.empty()) reason += " (" + r.detail + ")";
    return reason;
}

void ShredderPage::shredSelectedFile() {
    const std::string path = m_sSelectedFile;
    auto st = m_s.files.status(path);
    const auto refuse = [&](int id) {
        m_sSelectedFile.clear();
        m_s.view.setEnabled("cmdDelete", false);
        m_s.ui.messageBox(text(id) + "\r\n" + path, text(154), MsgButtons::Ok, MsgIcon::Exclamation);
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
    if (m_s.ui.messageBox(ui::StringTable::ExpandLineBreaks(text(144)), text(145), MsgButtons::YesNo,
                          MsgIcon::Exclamation) != MsgAnswer::Yes)
        return declined();
    if (st->hardLinks > 1) {
        const std::string ask =
            ui::replaceAll(ui::StringTable::ExpandLineBreaks(text(182)), "%1", std::to_string(st->hardLinks - 1));
        if (m_s.ui.messageBox(ask, text(145), MsgButtons::YesNo, MsgIcon::Exclamation) != MsgAnswer::Yes)
            return declined();
    }

    beginRun(false);
    const ShredResult r = shredOne(path);
    m_sSelectedFile.clear();
    if (r.ok()) {
        m_s.view.setCaption("lblStatus", text(146));
    } else {
        hideProgress();
        m_s.view.setCaption("lblStatus", "");
    }
    endRun(false);
    if (r.ok()) {
        m_s.ui.messageBox(text(160), text(154), MsgButtons::Ok, MsgIcon::Information);
    } else {
        m_s.ui.messageBox(text(164) + "\r\n" + path + "\r\n" + reasonFor(r), text(154), MsgButtons::Ok,
                          MsgIcon::Exclamation);
    }
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

void ShredderPage::shredEntry(const std::string& path, std::vector<NotShredded>& notShredded, int& files) {
    if (path.empty()) return;
    auto st = m_s.files.status(path);
    if (!st) {
        ++files;
        notShredded.push_back({path, text(185) + " (" + st.error().message + ")"});
        return;
    }
    switch (st->type) {
        case FileType::NotFound:
        case FileType::Directory:
            return;
        case FileType::Regular:
            break;
        default:
            // Links, sockets, pipes and devices hold nothing of the folder's: remove the name only.
            if (auto s = m_s.files.remove(path); !s)
                notShredded.push_back({path, text(186) + " (" + s.error().message + ")"});
            return;
    }
    ++files;
    // The folder was chosen whole: a read-only folder inside it must not keep its files.
    const auto parent = std::filesystem::path(path).parent_path();
    if (auto ps = m_s.files.status(parent); ps && ps->type == FileType::Directory && ps->readOnly)
        (void)m_s.files.setWritable(parent);
    if (st->hardLinks > 1) {
        // Overwriting would destroy the contents of names outside the chosen folder.
        if (auto s = m_s.files.remove(path); !s)
            notShredded.push_back({path, text(186) + " (" + s.error().message + ")"});
        else
            notShredded.push_back({path, text(168), false});
        return;
    }
    const ShredResult r = shredOne(path);
    if (!r.ok() && r.status != ShredStatus::NotFound) {
        hideProgress();
        const bool gone = r.status == ShredStatus::NotRegularFile;
        notShredded.push_back(
            {r.status == ShredStatus::RemovalPending ? m_s.engine.SourceFile() : path, reasonFor(r), !gone});
    }
}

void ShredderPage::shredSelectedFolder() {
    if (m_s.ui.messageBox(ui::StringTable::ExpandLineBreaks(text(147)), text(148), MsgButtons::YesNo,
                          MsgIcon::Exclamation) != MsgAnswer::Yes) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        return;
    }
    const std::string folder = m_sSelectedFolder;
    auto st = m_s.files.status(folder);
    if (!st || st->type != FileType::Directory) {
        m_s.view.setEnabled("cmdDelete", false);
        m_sSelectedFolder.clear();
        m_s.ui.messageBox(text(191) + "\r\n" + folder, text(154), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }

    beginRun(true);
    cRecurse walker(m_s.files);
    const RecurseList list = walker.Recurse(folder, "*.*");
    std::vector<NotShredded> notShredded;
    int files = 0;
    for (std::int64_t i = 1; i <= list.upperBound(); ++i) {
        if (m_bAbort) {
            m_bAbort = false;
            endRun(true);
            m_s.view.setCaption("lblStatus", text(149));
            if (!notShredded.empty()) report(notShredded, files);
            if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
            return;
        }
        if (i > 3 && list[i - 1].empty() && list[i - 2].empty() && list[i - 3].empty()) break;
        shredEntry(list[i], notShredded, files);
    }

    std::set<std::string> keep;
    for (const auto& n : notShredded)
        if (n.leftInPlace) keep.insert(n.path);
    for (const auto& n : walker.notEntered()) {
        keep.insert(n.path);
        notShredded.push_back({n.path, n.mountPoint ? text(184) : text(185) + " (" + n.reason + ")"});
    }
    ui::guarded([&] {
        for (const auto& f : FolderRemover(m_s.files).removeTree(folder, keep))
            notShredded.push_back({f.path, text(186) + " (" + f.detail + ")"});
    });

    m_sSelectedFolder.clear();
    m_s.view.setEnabled("cmdDelete", false);
    m_s.view.setCaption("lblStatus", "");
    hideProgress();
    if (notShredded.empty()) {
        m_s.ui.messageBox(text(161), text(154), MsgButtons::Ok, MsgIcon::Information);
    } else {
        report(notShredded, files);
    }
    endRun(true);
    if (m_whenStopped) std::exchange(m_whenStopped, nullptr)();
}

void ShredderPage::report(const std::vector<NotShredded>& notShredded, int files) {
    ui::ListedMessage msg(
        ui::replaceAll(ui::replaceAll(text(165), "%1", std::to_string(notShredded.size())), "%2",
                       std::to_string(std::max<std::size_t>(static_cast<std::size_t>(files), notShredded.size()))),
        text(189));
    bool leftInPlace = false;
    for (const auto& n : notShredded) {
        leftInPlace = leftInPlace || n.leftInPlace;
        msg.add(n.path + ": " + n.reason);
    }
    std::string shown = msg.text();
    if (leftInPlace) shown += "\r\n\r\n" + text(190);
    m_s.ui.messageBox(shown, text(154), MsgButtons::Ok, MsgIcon::Exclamation);
}

bool ShredderPage::QueryClose(std::function<void()> whenStopped) {
    if (!m_s.busy.running(ui::BusyState::Run::Shred)) return true;
    if (m_s.ui.messageBox(text(183), text(154), MsgButtons::YesNo, MsgIcon::Question) == MsgAnswer::Yes) {
        m_bAbort = true;
        m_whenStopped = std::move(whenStopped);
    }
    return false;
}

// The progress display belongs to the shredder page: while another page is shown it stays
// hidden instead of appearing over that page's controls.
void ShredderPage::eSCompPMax(std::int32_t lmax) {
    ui::guarded([&] {
        const auto slash = m_sSelectedFolder.find_last_of('/');
        const std::string name = slash == std::string::npos ? m_sSelectedFolder : m_sSelectedFolder.substr(slash + 1);
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
        m_s.view.setCaption("lblStatus", text(108) + " " + std::to_string(lCnt) + " " + text(109) + " " +
                                             std::to_string(m_s.view.progressMax("pbCurrentPrgrs")));
    });
}

void ShredderPage::eSCompComplete() {
    ui::guarded([&] {
        hideProgress();
        m_s.view.setCaption("lblStatus", text(107));
    });
}

}  // namespace quenvor::shredder
