#include "shredder/FreeSpaceWipeMessages.h"

#include <cmath>

#include "platform/Utf8Path.h"
#include "shredder/VerdictText.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/ListedMessage.h"
#include "ui/NumberText.h"

namespace quenvor::shredder {

using platform::RemainReason;
using ui::replaceAll;

namespace {
constexpr const char* kBreak = "\r\n";
constexpr const char* kGap = "\r\n\r\n";
}  // namespace

std::string FreeSpaceWipeMessages::count(std::uint64_t n) const {
    return ui::groupedCount(n, m_text(text::NumberGroupSeparator));
}

std::string FreeSpaceWipeMessages::size(std::uint64_t bytes) const {
    return ui::sizeText(bytes, m_text(text::NumberGroupSeparator), m_text(text::NumberDecimalSeparator));
}

std::string FreeSpaceWipeMessages::duration(std::int64_t seconds) {
    if (seconds < 0) return "?";
    if (seconds >= 3600) return std::to_string(seconds / 3600) + " h " + std::to_string(seconds % 3600 / 60) + " min";
    if (seconds >= 60) return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    return std::to_string(seconds) + " s";
}

std::string FreeSpaceWipeMessages::confirm(const std::string& folder) const {
    return m_text(text::WipeFreeConfirm) + kBreak + platform::shownPath(folder) + kGap +
           m_text(text::WipeFreeConfirmWarning);
}

std::string FreeSpaceWipeMessages::progressLine(const WipeProgress& p) const {
    // No rate is known in the first half second: a "0 B/s, ? left" would say something false.
    std::string line = replaceAll(
        m_text(p.bytesPerSecond > 0 ? text::WipeFreeProgress : text::WipeFreeProgressStarting), "%1", size(p.written));
    line = replaceAll(line, "%2", size(p.expected));
    line = replaceAll(line, "%3", size(p.bytesPerSecond));
    return replaceAll(line, "%4", duration(p.secondsLeft));
}

std::string FreeSpaceWipeMessages::stepLine(WipeStep step) const {
    switch (step) {
        case WipeStep::Filling:
            return {};
        case WipeStep::Removing:
            return m_text(text::WipeFreeRemovingLine);
        case WipeStep::Names:
            return m_text(text::WipeFreeNamesLine);
        case WipeStep::Discarding:
            return m_text(text::WipeFreeDiscardLine);
    }
    return {};
}

std::string FreeSpaceWipeMessages::remains(const FreeSpaceWipe::Report& r) const {
    std::string out;
    const auto add = [&](const std::string& line) { out += kBreak + ("- " + line); };
    // Below 1 MiB it is the filesystem's own bookkeeping, not space anyone was kept from.
    if (r.unreachable >= (std::uint64_t{1} << 20))
        add(replaceAll(m_text(text::WipeFreeUnreachable), "%1", size(r.unreachable)));
    if (r.remains) {
        switch (*r.remains) {
            case RemainReason::CopyOnWrite:
            case RemainReason::SharedExtents:
                add(m_text(text::WipeFreeCopyOnWrite));
                break;
            case RemainReason::Journal:
                // Gone round once, the journal holds only what this wipe wrote.
                if (!r.journalCycled) add(m_text(text::WipeFreeJournal));
                break;
            default:
                add(replaceAll(m_text(text::WipeFreeOtherReason), "%1", m_text(textFor(*r.remains))));
                break;
        }
    }
    if (r.flash) add(m_text(text::WipeFreeFlash));
    if (!r.full && !r.aborted && r.started) add(replaceAll(m_text(text::WipeFreeNotFull), "%1", size(r.written)));
    return out.empty() ? out : kGap + m_text(text::WipeFreeRemainsHeading) + out;
}

FreeSpaceWipeMessages::Shown FreeSpaceWipeMessages::result(const FreeSpaceWipe::Report& r) const {
    Shown s;
    const std::string folder = platform::shownPath(platform::utf8Of(r.folder));
    if (r.runningElsewhere != 0)
        return {replaceAll(m_text(text::WipeFreeRunning), "%1", std::to_string(r.runningElsewhere)), true};
    if (r.notRecorded) return {m_text(text::WipeFreeNotRecorded) + kBreak + r.failure, true};
    if (!r.started)
        return {m_text(text::WipeFreeFailed) + kBreak + r.failure + kGap + m_text(text::WipeFreeNoFill), true};
    if (r.aborted) {
        std::string line = replaceAll(m_text(text::WipeFreeStopped), "%1", size(r.written));
        s.text = replaceAll(line, "%2", size(std::max(r.freeBefore, r.written)));
        s.warn = true;
    } else {
        std::string line = replaceAll(m_text(text::WipeFreeDone), "%1", folder);
        line = replaceAll(line, "%2", r.filesystem.empty() ? std::string("?") : r.filesystem);
        line = replaceAll(line, "%3", size(r.written));
        line = replaceAll(line, "%4", duration(static_cast<std::int64_t>(std::lround(r.seconds))));
        s.text = replaceAll(line, "%5", size(r.freeAfter));
        if (!r.failure.empty()) {
            s.text = m_text(text::WipeFreeFailed) + kBreak + r.failure + kGap + s.text;
            s.warn = true;
        }
    }
    if (r.namesRun) {
        const int names = r.namesBounded
                              ? (r.journalCycled ? text::WipeFreeNamesBoundedJournal : text::WipeFreeNamesBounded)
                              : (r.journalCycled ? text::WipeFreeNamesUnboundedJournal : text::WipeFreeNamesUnbounded);
        std::string line = replaceAll(m_text(names), "%1", count(r.names));
        line = replaceAll(line, "%2", size(r.nameTableBytes));
        s.text += kGap + replaceAll(line, "%3", size(r.journalWritten));
    }
    if (r.discarded)
        s.text += kGap + replaceAll(m_text(text::WipeFreeDiscarded), "%1", size(r.discardedBytes));
    else if (!r.discardError.empty())
        s.text += kGap + m_text(text::WipeFreeDiscardFailed) + kBreak + r.discardError;
    const std::string may = remains(r);
    s.text += may;
    // Anything that may remain is worth the warning icon: the text alone is easy to take for "done".
    s.warn = s.warn || !may.empty() || !r.full || !r.notRemoved.empty() || !r.discardError.empty();
    if (!r.notRemoved.empty()) {
        ui::ListedMessage left(m_text(text::WipeFreeNotRemoved), m_text(text::AndMore));
        for (const auto& n : r.notRemoved) left.add(n);
        s.text += kGap + left.text();
    }
    return s;
}

FreeSpaceWipeMessages::Shown FreeSpaceWipeMessages::recovered(const PendingFill::Cleanup& c) const {
    if (!c.found) return {};
    const std::string fill = platform::shownPath(platform::utf8Of(c.fill));
    if (c.damaged) return {m_text(text::WipeFreeRecordUnreadable), true};
    if (!c.left.empty()) {
        ui::ListedMessage left(m_text(text::WipeFreeRecoverLeft), m_text(text::AndMore));
        for (const auto& l : c.left) left.add(l);
        return {left.text(), true};
    }
    std::string line = replaceAll(m_text(text::WipeFreeRecovered), "%1", size(c.bytes));
    const std::string files =
        c.files == 1 ? m_text(text::CountOneFile) : replaceAll(m_text(text::CountFiles), "%1", count(c.files));
    return {replaceAll(line, "%2", files) + kBreak + fill, false};
}

}  // namespace quenvor::shredder
