#include "shredder/ShredMessages.h"
#include "shredder/VerdictText.h"
#include "text/TextIds.h"

#include <algorithm>
#include <utility>

#include "platform/Utf8Path.h"
#include "shredder/HeldChoice.h"
#include "shredder/InterruptedRun.h"
#include "ui/Guarded.h"
#include "ui/ListedMessage.h"
#include "ui/StringTable.h"

namespace quenvor::shredder {

using platform::shownPath;
using ui::replaceAll;

namespace {

// The first line of the file-mode message, by what became of the file: one that was
// overwritten must not be called "not shredded", nor one left partly overwritten unchanged.
int fileHeading(const ShredResult& r) {
    switch (r.status) {
        case ShredStatus::RemovalPending:
        case ShredStatus::RemovalFailed:
        case ShredStatus::NameReplaced:
        case ShredStatus::NameMoved:
            return text::FileOverwrittenNotRemoved;
        case ShredStatus::NotFound:  // not shredded, and not in place either
            return text::FileGoneHeading;
        case ShredStatus::WriteFailed:
        case ShredStatus::KeptGrowing:
        case ShredStatus::DiskFull:
        case ShredStatus::Unexpected:  // it may have stopped part way through the passes
            return text::FileNotFullyShredded;
        default:
            return text::FileNotShredded;
    }
}

int protectionText(Protection p) {
    switch (p) {
        case Protection::None:
            break;
        case Protection::ProgramFile:
            return text::ProtectedProgramFile;
        case Protection::ProgramFolder:
            return text::ProtectedProgramFolder;
        case Protection::HoldsProgram:
            return text::ProtectedHoldsProgram;
        case Protection::Home:
            return text::ProtectedHomeFolder;
        case Protection::SystemRoot:
            return text::ProtectedSystemRoot;
        case Protection::MountRoot:
            return text::ProtectedMountRoot;
    }
    return 0;
}

}  // namespace

ShredMessages::ShredMessages(Lookup text) : m_text(std::move(text)) {}

std::string ShredMessages::confirm(int id, const std::string& path,
                                   std::optional<platform::RemainReason> remains) const {
    // The path on a line of its own after the question, with the same line break as the text's own.
    std::string ask = ui::StringTable::ExpandLineBreaks(m_text(id));
    const auto lf = ask.find('\n');
    if (lf == std::string::npos) {
        ask += "\r\n" + shownPath(path);
    } else {
        const std::string br = lf > 0 && ask[lf - 1] == '\r' ? "\r\n" : "\n";
        ask.insert(lf + 1, shownPath(path) + br);
    }
    if (remains) ask += "\r\n\r\n" + replaceAll(m_text(text::MayRemainConfirmNote), "%1", remainText(*remains));
    return ask;
}

std::string ShredMessages::confirmFile(const std::string& path, std::optional<platform::RemainReason> remains) const {
    return confirm(text::ConfirmFileShred, path, remains);
}

std::string ShredMessages::confirmFolder(const std::string& path, std::optional<platform::RemainReason> remains) const {
    return confirm(text::ConfirmFolderShred, path, remains);
}

std::string ShredMessages::sharedContents(std::uint64_t otherNames) const {
    return replaceAll(ui::StringTable::ExpandLineBreaks(m_text(text::ConfirmHardLinks)), "%1",
                      std::to_string(otherNames));
}

std::string ShredMessages::protectedChoice(Protection kind, const std::string& path, bool folder) const {
    return m_text(protectionText(kind)) + "\r\n" + shownPath(path) + "\r\n\r\n" +
           m_text(folder ? text::ConfirmProtectedFolder : text::ConfirmProtectedFile);
}

std::string ShredMessages::notAFile(const std::string& path, bool gone) const {
    return m_text(gone ? text::FileNotFound : text::NotARegularFile) + "\r\n" + shownPath(path);
}

std::string ShredMessages::folderNotHeld(const std::string& path, bool unreadable, const std::string& detail) const {
    std::string why = m_text(unreadable ? text::FolderUnreadable : text::FolderNotHeld) + "\r\n" + shownPath(path);
    if (!detail.empty()) why += "\r\n" + detail;
    return why;
}

std::string ShredMessages::resumeRefused(bool levelKnown, const std::string& path) const {
    return m_text(levelKnown ? text::InterruptedRefused : text::InterruptedUnreadable) + "\r\n" + shownPath(path);
}

std::string ShredMessages::movedNote(int id, const std::string& path, const std::string& rest) const {
    const std::string note = m_text(id) + "\r\n" + shownPath(path);
    return rest.empty() ? note : note + "\r\n\r\n" + rest;
}

std::string ShredMessages::unexpected(const std::string& detail) const {
    return detail.empty() ? m_text(text::UnexpectedError) : m_text(text::UnexpectedError) + " (" + detail + ")";
}

std::string ShredMessages::remainText(platform::RemainReason r) const { return m_text(textFor(r)); }

std::string ShredMessages::reasonFor(const FolderShred::Left& l) const {
    const auto withDetail = [&](int id) { return l.detail.empty() ? m_text(id) : m_text(id) + " (" + l.detail + ")"; };
    switch (l.reason) {
        case FolderShred::Reason::Unreadable:
        case FolderShred::Reason::NotEntered:
            return withDetail(text::ReasonUnreadable);
        case FolderShred::Reason::NotRemoved:
            return withDetail(text::ReasonNotRemoved);
        case FolderShred::Reason::OtherNames:
            return m_text(text::ReasonOtherNames);
        case FolderShred::Reason::MountPoint:
            return m_text(text::ReasonMountPoint);
        case FolderShred::Reason::Changed:
            return m_text(text::ReasonReplaced);
        case FolderShred::Reason::FolderChanged:
            return m_text(text::ReasonFolderReplaced);
        case FolderShred::Reason::AppearedLate:
            return m_text(text::ReasonAppearedLate);
        case FolderShred::Reason::Unexpected:
            return unexpected(l.detail);
        case FolderShred::Reason::FolderMoved:
            return m_text(text::ReasonFolderMoved);
        case FolderShred::Reason::FileReplaced:
            return m_text(text::ReasonFileReplaced);
        case FolderShred::Reason::NotShredded:
            break;
    }
    return reasonFor(l.result);
}

std::string ShredMessages::reasonFor(const ShredResult& r) const {
    std::string reason;
    switch (r.status) {
        case ShredStatus::Shredded:
            return {};
        case ShredStatus::NotFound:
            return m_text(text::ReasonFileGone);
        case ShredStatus::NotRegularFile:
            return m_text(text::NotARegularFile);
        case ShredStatus::NoPasses:
            return m_text(text::ReasonNoPasses);
        case ShredStatus::OpenFailed:
            reason = m_text(text::ReasonOpenFailed);
            break;
        case ShredStatus::WriteFailed:
            reason = m_text(text::ReasonWriteFailed);
            break;
        case ShredStatus::RemovalPending:
            reason = m_text(text::ReasonRemovalPending);
            break;
        case ShredStatus::RemovalFailed:
        case ShredStatus::NotHidden:
            reason = m_text(text::ReasonNotRemoved);
            break;
        case ShredStatus::Changed:
            reason = m_text(text::ReasonReplaced);
            break;
        case ShredStatus::NameReplaced:
            reason = m_text(text::ReasonNameReplaced);
            break;
        case ShredStatus::NameMoved:
            reason = m_text(text::ReasonNameMoved);
            break;
        case ShredStatus::KeptGrowing:
            reason = m_text(text::ReasonKeptGrowing);
            break;
        case ShredStatus::LayerUnknown:
            reason = m_text(text::ReasonLayerUnknown);
            break;
        case ShredStatus::DiskFull:
            reason = m_text(text::ReasonDiskFull);
            break;
        case ShredStatus::Unexpected:
            return unexpected(r.detail);
    }
    if (!r.detail.empty()) reason += " (" + r.detail + ")";
    return reason;
}

ShredMessages::Shown ShredMessages::fileResult(const std::string& path, const ShredResult& r, bool moved) const {
    const std::string shown = shownPath(path);
    if (!r.ok()) return {m_text(fileHeading(r)) + "\r\n" + shown + "\r\n" + reasonFor(r), true};
    Shown s;
    if (r.storage.mayRemain())
        s = {m_text(text::MayRemainFileHeading) + "\r\n" + shown + "\r\n" + remainText(r.storage.reason), true};
    else if (r.storage.unchecked)
        s = {m_text(text::FileShredded) + "\r\n\r\n" + m_text(text::PassesNotChecked) + ".", false};
    else
        s = {m_text(text::FileShredded), false};
    // Shredded and removed, but the path shows something the run never touched: saying only
    // that the file was deleted would send the user to the wrong place.
    if (moved) {
        s.text = movedNote(text::FileMovedDone, path, s.text == m_text(text::FileShredded) ? std::string() : s.text);
        s.warn = true;
    }
    return s;
}

ShredMessages::Shown ShredMessages::folderResult(const std::string& folder, const FolderShred::Outcome& o,
                                                 const Tally& left, int completed) const {
    Shown s;
    s.text = folderAccount(o, left, completed, s.warn);
    // Everything walked is gone, but the path shows something the run never touched.
    if (o.choiceMoved && !o.aborted && o.left.empty()) {
        s.text =
            movedNote(text::FolderMovedDone, folder, s.text == m_text(text::FolderShredded) ? std::string() : s.text);
        s.warn = true;
    }
    return s;
}

std::string ShredMessages::counted(int n, int oneId, int manyId) const {
    return n == 1 ? m_text(oneId) : replaceAll(m_text(manyId), "%1", std::to_string(n));
}

std::string ShredMessages::leftList(const FolderShred::Outcome& o) const {
    // Only files are counted as files: a folder or a mount point left is no file unshredded.
    const int filesLeft = o.leftOf(FolderShred::Kind::File);
    std::string heading;
    if (filesLeft == 0)
        heading = o.files == 0 ? m_text(text::NoneToShredNotRemoved)
                               : counted(o.files, text::OnlyFileShreddedNotRemoved, text::AllShreddedNotRemoved);
    else if (o.files == 1)
        heading = m_text(text::OnlyFileNotShredded);
    else
        heading =
            replaceAll(filesLeft == 1 ? m_text(text::OneOfFilesNotShredded)
                                      : replaceAll(m_text(text::FilesNotShredded), "%1", std::to_string(filesLeft)),
                       "%2", std::to_string(o.files));
    ui::ListedMessage msg(heading, m_text(text::AndMore));
    for (const auto& l : o.left) msg.add(shownPath(l.path) + ": " + reasonFor(l));
    return msg.text();
}

std::string ShredMessages::remainedList(const FolderShred::Outcome& o) const {
    if (o.remained.empty()) return {};
    ui::ListedMessage rest(counted(static_cast<int>(o.remained.size()), text::MayRemainCountOne, text::MayRemainCount),
                           m_text(text::AndMore));
    for (const auto& r : o.remained) rest.add(shownPath(r.path) + ": " + remainText(r.reason));
    return "\r\n\r\n" + rest.text();
}

std::string ShredMessages::uncheckedList(const FolderShred::Outcome& o) const {
    if (o.unchecked.empty()) return {};
    ui::ListedMessage msg(m_text(text::PassesNotChecked) + ":", m_text(text::AndMore));
    for (const auto& p : o.unchecked) msg.add(shownPath(p));
    return "\r\n\r\n" + msg.text();
}

std::string ShredMessages::fileList(const Tally& t) const {
    ui::ListedMessage names({}, m_text(text::AndMore));
    for (const auto& n : t.firstFiles) names.add(shownPath(n));
    // The rest are counted, not named.
    for (auto i = static_cast<int>(t.firstFiles.size()); i < t.files; ++i) names.add({});
    return names.text();
}

std::string ShredMessages::abortAccount(const FolderShred::Outcome& o, const Tally& t, int completed) const {
    // Passes that ran to the end, less the files whose name could not be removed afterwards.
    int shredded = completed;
    for (const auto& l : o.left)
        if (l.reason == FolderShred::Reason::NotShredded &&
            (l.result.status == ShredStatus::RemovalPending || l.result.status == ShredStatus::RemovalFailed ||
             l.result.status == ShredStatus::NameReplaced))
            --shredded;
    std::string shown = counted(std::max(shredded, 0), text::StoppedCountOne, text::StoppedCount) + "\r\n\r\n";
    if (t.files == 0)
        shown += m_text(text::FolderStaysEmpty);
    else
        shown += counted(t.files, text::FolderStaysOne, text::FolderStays) + fileList(t);
    if (!o.left.empty()) shown += "\r\n\r\n" + leftList(o);
    return shown + remainedList(o) + uncheckedList(o);
}

std::string ShredMessages::folderAccount(const FolderShred::Outcome& o, const Tally& t, int completed,
                                         bool& warn) const {
    warn = true;
    if (o.aborted) return abortAccount(o, t, completed);
    if (!o.left.empty()) {
        std::string shown = leftList(o) + remainedList(o) + uncheckedList(o);
        // What is left is what is on the disk now: a name removed whose contents other names
        // keep is no longer in the folder.
        const std::string parts[] = {counted(o.files, text::CountOneFile, text::CountFiles),
                                     counted(o.folders, text::CountOneFolder, text::CountFolders),
                                     counted(o.others, text::CountOneOther, text::CountOthers),
                                     counted(t.files, text::CountOneFile, text::CountFiles),
                                     counted(t.folders, text::CountOneFolder, text::CountFolders),
                                     counted(t.others, text::CountOneOther, text::CountOthers)};
        std::string counts = m_text(text::FoundAndLeft);
        // Appended, not "%" + std::to_string(...): GCC 12 warns falsely (-Wrestrict) on that form when optimizing.
        for (int i = 0; i < 6; ++i) {
            std::string key = "%";
            key += std::to_string(i + 1);
            counts = replaceAll(counts, key, parts[static_cast<std::size_t>(i)]);
        }
        shown += "\r\n\r\n" + counts;
        const bool fileInPlace = std::any_of(o.left.begin(), o.left.end(), [](const FolderShred::Left& l) {
            return l.leftInPlace && l.kind == FolderShred::Kind::File;
        });
        if (o.diskFull) shown += "\r\n\r\n" + m_text(text::DiskFullFolderStopped);
        if (fileInPlace) shown += "\r\n\r\n" + m_text(text::UnshreddedStayInPlace);
        return shown;
    }
    std::string shown;
    if (!o.remained.empty()) {
        ui::ListedMessage msg(m_text(text::MayRemainFolderHeading), m_text(text::AndMore));
        for (const auto& r : o.remained) msg.add(shownPath(r.path) + ": " + remainText(r.reason));
        shown = msg.text();
    } else {
        shown = m_text(text::FolderShredded);
        warn = false;
    }
    return shown + uncheckedList(o);
}

std::string ShredMessages::withStopNote(const std::string& line, bool stopping) const {
    return stopping ? line + " " + m_text(text::StoppingSuffix) : line;
}

std::string ShredMessages::shreddingLine(const std::string& name) const {
    return m_text(text::ShreddingFolderStatus) + " " + name;
}

std::string ShredMessages::passLine(std::int64_t done, std::int64_t of, bool stopping) const {
    return withStopNote(m_text(text::OverwritingStatus) + " " + std::to_string(done) + " " +
                            m_text(text::OverwritingStatusOf) + " " + std::to_string(of),
                        stopping);
}

std::string ShredMessages::fileDoneLine(bool stopping) const {
    return withStopNote(m_text(text::RemovingFileStatus), stopping);
}

std::string ShredMessages::chosenCount(std::size_t n) const {
    return replaceAll(m_text(text::ShredChosenCount), "%1", std::to_string(n));
}

std::string ShredMessages::confirmMany(const std::vector<std::string>& paths) const {
    ui::ListedMessage msg(replaceAll(m_text(text::ConfirmManyShred), "%1", std::to_string(paths.size())),
                          m_text(text::AndMore));
    for (const auto& p : paths) msg.add(shownPath(p));
    return msg.text();
}

std::string ShredMessages::itemLine(std::size_t at, std::size_t of, bool filesOnly) const {
    return replaceAll(
        replaceAll(m_text(filesOnly ? text::ShredFileOfMany : text::ShredItemOfMany), "%1", std::to_string(at)), "%2",
        std::to_string(of));
}

ShredMessages::Shown ShredMessages::manyResult(const std::vector<ItemEnd>& ends) const {
    using How = ItemEnd::How;
    const auto deleted = std::count_if(ends.begin(), ends.end(),
                                       [](const ItemEnd& e) { return e.how != How::Left && e.how != How::NotReached; });
    Shown s;
    s.text = replaceAll(replaceAll(m_text(text::ManyShredded), "%1", std::to_string(deleted)), "%2",
                        std::to_string(ends.size()));
    s.warn = false;
    const auto section = [&](How how, int heading) {
        ui::ListedMessage msg(m_text(heading), m_text(text::AndMore));
        for (const auto& e : ends)
            if (e.how == how) msg.add(e.why.empty() ? shownPath(e.path) : shownPath(e.path) + ": " + e.why);
        if (msg.count() == 0) return;
        s.text += "\r\n\r\n" + msg.text();
        s.warn = true;
    };
    section(How::Left, text::ManyLeftHeading);
    section(How::NotReached, text::ManyNotReachedHeading);
    section(How::MayRemain, text::ManyMayRemainHeading);
    section(How::Moved, text::ManyMovedHeading);
    return s;
}

std::vector<std::string> ShredMessages::manyDetails(const std::vector<ItemEnd>& ends) const {
    using How = ItemEnd::How;
    std::vector<std::string> lines;
    const std::pair<How, int> sections[] = {{How::Left, text::ManyLeftHeading},
                                            {How::NotReached, text::ManyNotReachedHeading},
                                            {How::MayRemain, text::ManyMayRemainHeading},
                                            {How::Moved, text::ManyMovedHeading},
                                            {How::Deleted, text::ManyDeletedHeading}};
    for (const auto& [how, heading] : sections) {
        const auto first = lines.size();
        for (const auto& e : ends)
            if (e.how == how) lines.push_back(e.why.empty() ? shownPath(e.path) : shownPath(e.path) + ": " + e.why);
        if (lines.size() == first) continue;
        if (first > 0) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(first), std::string());
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(first + (first > 0 ? 1 : 0)), m_text(heading));
    }
    return lines;
}

}  // namespace quenvor::shredder
