#include "shredder/InterruptedRunOffer.h"

#include "platform/IFileService.h"
#include "platform/IProcessTable.h"
#include "platform/Utf8Path.h"
#include "shredder/cRecurse.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/IUiServices.h"
#include "ui/ListedMessage.h"
#include "ui/StringTable.h"

namespace quenvor::shredder {

using platform::FileType;

std::string InterruptedRunOffer::text(int id) { return m_s.strings.LoadLangString(id); }

std::optional<InterruptedRun::Record> InterruptedRunOffer::forget(InterruptedRun& run, std::string said, bool warn) {
    if (auto s = run.forget(); !s) {
        // Otherwise the same question would come back at every start with no word of why.
        if (!said.empty()) said += "\r\n\r\n";
        said += text(text::InterruptedNotForgotten) + "\r\n" + s.error().message;
        warn = true;
    }
    if (!said.empty())
        m_s.ui.messageBox(said, text(text::AppTitle), ui::MsgButtons::Ok,
                          warn ? ui::MsgIcon::Exclamation : ui::MsgIcon::Information);
    return std::nullopt;
}

std::optional<InterruptedRun::Record> InterruptedRunOffer::ask(InterruptedRun& run) {
    const auto loaded = run.load();
    if (loaded.damaged)
        return forget(
            run, text(text::InterruptedUnreadable) + "\r\n" + platform::shownPath(platform::utf8Of(run.file())), true);
    if (!loaded.record) return std::nullopt;
    const auto& r = *loaded.record;
    // Started again while a run goes on: that run is not interrupted, and its record is its own.
    if (r.process != 0 && m_s.processes && r.process != m_s.processes->currentProcessId() &&
        m_s.processes->processAlive(r.process))
        return std::nullopt;
    const std::string choice = platform::utf8Of(r.choice);
    std::string said =
        text(r.folder ? text::InterruptedFolder : text::InterruptedFile) + "\r\n" + platform::shownPath(choice);

    const auto st = m_s.files.status(r.choice);
    if (st && st->type == FileType::NotFound)
        return forget(run, said + "\r\n\r\n" + text(text::InterruptedGone), false);
    if (!st || st->identity() != r.choiceId || st->type != (r.folder ? FileType::Directory : FileType::Regular))
        return forget(run, said + "\r\n\r\n" + text(text::InterruptedReplaced), true);

    // Named only while it is still the file the passes were writing: a name reused since says
    // nothing about what was left half done.
    const std::string current = platform::utf8Of(r.current);
    bool partly = false;
    if (!r.current.empty()) {
        const auto cur = m_s.files.status(r.current);
        partly = cur && cur->type == FileType::Regular && cur->identity() == r.currentId;
    }
    if (partly) said += "\r\n\r\n" + text(text::InterruptedPartlyOverwritten) + "\r\n" + platform::shownPath(current);

    ui::ListedMessage left(text(text::InterruptedNotShreddedYet), text(text::AndMore));
    if (r.folder) {
        (void)cRecurse(m_s.files).visit(choice, [&](const cRecurse::Found& f) {
            if (f.entry.type == FileType::Regular && !(partly && platform::pathFromUtf8(f.path) == r.current))
                left.add(platform::shownPath(f.path));
            return true;
        });  // false only when the visitor ends the walk, which this one never does
    } else if (!partly) {
        left.add(platform::shownPath(choice));
    }
    if (left.count() > 0) said += "\r\n\r\n" + left.text();
    said += "\r\n\r\n" + ui::replaceAll(text(text::InterruptedFinishIt), "%1", std::to_string(r.passes));

    if (m_s.ui.messageBox(said, text(text::AppTitle), ui::MsgButtons::YesNo, ui::MsgIcon::Question,
                          ui::MsgDefault::Second) == ui::MsgAnswer::Yes)
        return r;
    return forget(run, {}, false);
}

}  // namespace quenvor::shredder
