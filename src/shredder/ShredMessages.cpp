#include "shredder/ShredMessages.h"

#include <algorithm>
#include <utility>

#include "platform/Utf8Path.h"
#include "shredder/HeldChoice.h"
#include "shredder/InterruptedRun.h"
#include "ui/Guarded.h"
#include "ui/ListedMessage.h"
#include "ui/StringTable.h"

namespace quenvor::shredder {

using namespace page_text;
using namespace shred_text;
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
            return kFileNotRemoved;
        case ShredStatus::NotFound:  // not shredded, and not in place either
            return held_text::kFileGoneHeading;
        case ShredStatus::WriteFailed:
        case ShredStatus::KeptGrowing:
        case ShredStatus::DiskFull:
        case ShredStatus::Unexpected:  // it may have stopped part way through the passes
            return kFilePartly;
        default:
            return kFileNotShredded;
    }
}

int protectionText(Protection p) {
    switch (p) {
        case Protection::None:
            break;
        case Protection::ProgramFile:
            return kProgramFile;
        case Protection::ProgramFolder:
            return kProgramFolder;
        case Protection::HoldsProgram:
            return kHoldsProgram;
        case Protection::Home:
            return kHome;
        case Protection::SystemRoot:
            return kSystemRoot;
        case Protection::MountRoot:
            return kMountRoot;
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
    if (remains)
        ask += "\r\n\r\n" + replaceAll(m_text(platform::storage_text::kConfirmNote), "%1", remainText(*remains));
    return ask;
}

std::string ShredMessages::confirmFile(const std::string& path, std::optional<platform::RemainReason> remains) const {
    return confirm(kConfirmFile, path, remains);
}

std::string ShredMessages::confirmFolder(const std::string& path, std::optional<platform::RemainReason> remains) const {
    return confirm(kConfirmFolder, path, remains);
}

std::string ShredMessages::sharedContents(std::uint64_t otherNames) const {
    return replaceAll(ui::StringTable::ExpandLineBreaks(m_text(kSharedContents)), "%1", std::to_string(otherNames));
}

std::string ShredMessages::protectedChoice(Protection kind, const std::string& path, bool folder) const {
    return m_text(protectionText(kind)) + "\r\n" + shownPath(path) + "\r\n\r\n" +
           m_text(folder ? kFolderAnyway : kFileAnyway);
}

std::string ShredMessages::notAFile(const std::string& path, bool gone) const {
    return m_text(gone ? kNotFound : kNotARegularFile) + "\r\n" + shownPath(path);
}

std::string ShredMessages::folderNotHeld(const std::string& path, bool unreadable, const std::string& detail) const {
    std::string why = m_text(unreadable ? kFolderUnreadable : held_text::kFolderNotHeld) + "\r\n" + shownPath(path);
    if (!detail.empty()) why += "\r\n" + detail;
    return why;
}

std::string ShredMessages::resumeRefused(bool levelKnown, const std::string& path) const {
    return m_text(levelKnown ? interrupted_text::kRefused : interrupted_text::kUnreadable) + "\r\n" + shownPath(path);
}

std::string ShredMessages::movedNote(int id, const std::string& path, const std::string& rest) const {
    const std::string note = m_text(id) + "\r\n" + shownPath(path);
    return rest.empty() ? note : note + "\r\n\r\n" + rest;
}

std::string ShredMessages::unexpected(const std::string& detail) const {
    return detail.empty() ? m_text(kUnexpected) : m_text(kUnexpected) + " (" + detail + ")";
}

std::string ShredMessages::remainText(platform::RemainReason r) const {
    const int id = platform::remainReasonTextId(r);
    return m_text(id != 0 ? id : platform::remainReasonTextId(platform::RemainReason::Unverifiable));
}

std::string ShredMessages::reasonFor(const FolderShred::Left& l) const {
    const auto withDetail = [&](int id) { return l.detail.empty() ? m_text(id) : m_text(id) + " (" + l.detail + ")"; };
    switch (l.reason) {
        case FolderShred::Reason::Unreadable:
        case FolderShred::Reason::NotEntered:
            return withDetail(kNotRead);
        case FolderShred::Reason::NotRemoved:
            return withDetail(kNotRemoved);
        case FolderShred::Reason::OtherNames:
            return m_text(kOtherNames);
        case FolderShred::Reason::MountPoint:
            return m_text(kMountPoint);
        case FolderShred::Reason::Changed:
            return m_text(kChanged);
        case FolderShred::Reason::FolderChanged:
            return m_text(kFolderChanged);
        case FolderShred::Reason::AppearedLate:
            return m_text(kAppearedLate);
        case FolderShred::Reason::Unexpected:
            return unexpected(l.detail);
        case FolderShred::Reason::FolderMoved:
            return m_text(held_text::kFolderMoved);
        case FolderShred::Reason::FileReplaced:
            return m_text(held_text::kFileReplaced);
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
            return m_text(held_text::kFileGone);
        case ShredStatus::NotRegularFile:
            return m_text(kNotARegularFile);
        case ShredStatus::NoPasses:
            return m_text(kNoPasses);
        case ShredStatus::OpenFailed:
            reason = m_text(kNotOpened);
            break;
        case ShredStatus::WriteFailed:
            reason = m_text(kWriteFailed);
            break;
        case ShredStatus::RemovalPending:
            reason = m_text(kRemovalPending);
            break;
        case ShredStatus::RemovalFailed:
        case ShredStatus::NotHidden:
            reason = m_text(kNotRemoved);
            break;
        case ShredStatus::Changed:
            reason = m_text(kChanged);
            break;
        case ShredStatus::NameReplaced:
            reason = m_text(kNameReplaced);
            break;
        case ShredStatus::NameMoved:
            reason = m_text(held_text::kNameMoved);
            break;
        case ShredStatus::KeptGrowing:
            reason = m_text(kKeptGrowing);
            break;
        case ShredStatus::LayerUnknown:
            reason = m_text(platform::storage_text::kLayerUnknown);
            break;
        case ShredStatus::DiskFull:
            reason = m_text(disk_full_text::kReason);
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
        s = {m_text(platform::storage_text::kFileMayRemain) + "\r\n" + shown + "\r\n" + remainText(r.storage.reason),
             true};
    else if (r.storage.unchecked)
        s = {m_text(kFileDeleted) + "\r\n\r\n" + m_text(platform::storage_text::kNotChecked) + ".", false};
    else
        s = {m_text(kFileDeleted), false};
    // Shredded and removed, but the path shows something the run never touched: saying only
    // that the file was deleted would send the user to the wrong place.
    if (moved) {
        s.text = movedNote(held_text::kFileMovedDone, path, s.text == m_text(kFileDeleted) ? std::string() : s.text);
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
            movedNote(held_text::kFolderMovedDone, folder, s.text == m_text(kFolderDeleted) ? std::string() : s.text);
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
        heading = o.files == 0 ? m_text(kNoneToShred) : counted(o.files, kOnlyShredded, kAllShredded);
    else if (o.files == 1)
        heading = m_text(kOnlyNotShredded);
    else
        heading = replaceAll(filesLeft == 1 ? m_text(kOneNotShredded)
                                            : replaceAll(m_text(kSomeNotShredded), "%1", std::to_string(filesLeft)),
                             "%2", std::to_string(o.files));
    ui::ListedMessage msg(heading, m_text(kAndMore));
    for (const auto& l : o.left) msg.add(shownPath(l.path) + ": " + reasonFor(l));
    return msg.text();
}

std::string ShredMessages::remainedList(const FolderShred::Outcome& o) const {
    if (o.remained.empty()) return {};
    ui::ListedMessage rest(counted(static_cast<int>(o.remained.size()), platform::storage_text::kCountMayRemainOne,
                                   platform::storage_text::kCountMayRemain),
                           m_text(kAndMore));
    for (const auto& r : o.remained) rest.add(shownPath(r.path) + ": " + remainText(r.reason));
    return "\r\n\r\n" + rest.text();
}

std::string ShredMessages::uncheckedList(const FolderShred::Outcome& o) const {
    if (o.unchecked.empty()) return {};
    ui::ListedMessage msg(m_text(platform::storage_text::kNotChecked) + ":", m_text(kAndMore));
    for (const auto& p : o.unchecked) msg.add(shownPath(p));
    return "\r\n\r\n" + msg.text();
}

std::string ShredMessages::fileList(const Tally& t) const {
    ui::ListedMessage names({}, m_text(kAndMore));
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
    std::string shown = counted(std::max(shredded, 0), kStoppedOne, kStopped) + "\r\n\r\n";
    if (t.files == 0)
        shown += m_text(kFolderStaysEmpty);
    else
        shown += counted(t.files, kFolderStaysOne, kFolderStays) + fileList(t);
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
        const std::string parts[] = {counted(o.files, kOneFile, kFiles),       counted(o.folders, kOneFolder, kFolders),
                                     counted(o.others, kOneOther, kOthers),    counted(t.files, kOneFile, kFiles),
                                     counted(t.folders, kOneFolder, kFolders), counted(t.others, kOneOther, kOthers)};
        std::string counts = m_text(kCounts);
        for (int i = 0; i < 6; ++i)
            counts = replaceAll(counts, "%" + std::to_string(i + 1), parts[static_cast<std::size_t>(i)]);
        shown += "\r\n\r\n" + counts;
        const bool fileInPlace = std::any_of(o.left.begin(), o.left.end(), [](const FolderShred::Left& l) {
            return l.leftInPlace && l.kind == FolderShred::Kind::File;
        });
        if (o.diskFull) shown += "\r\n\r\n" + m_text(disk_full_text::kFolderStopped);
        if (fileInPlace) shown += "\r\n\r\n" + m_text(kLeftInPlace);
        return shown;
    }
    std::string shown;
    if (!o.remained.empty()) {
        ui::ListedMessage msg(m_text(platform::storage_text::kFolderMayRemain), m_text(kAndMore));
        for (const auto& r : o.remained) msg.add(shownPath(r.path) + ": " + remainText(r.reason));
        shown = msg.text();
    } else {
        shown = m_text(kFolderDeleted);
        warn = false;
    }
    return shown + uncheckedList(o);
}

std::string ShredMessages::withStopNote(const std::string& line, bool stopping) const {
    return stopping ? line + " " + m_text(kStoppingNote) : line;
}

std::string ShredMessages::shreddingLine(const std::string& name) const { return m_text(kShredding) + " " + name; }

std::string ShredMessages::passLine(std::int64_t done, std::int64_t of, bool stopping) const {
    return withStopNote(
        m_text(kOverwriting) + " " + std::to_string(done) + " " + m_text(kOf) + " " + std::to_string(of), stopping);
}

std::string ShredMessages::fileDoneLine(bool stopping) const { return withStopNote(m_text(kFileDoneStatus), stopping); }

}  // namespace quenvor::shredder
