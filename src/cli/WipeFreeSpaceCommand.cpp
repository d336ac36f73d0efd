#include "cli/WipeFreeSpaceCommand.h"

#include <memory>
#include <ostream>

#include "cli/CommandLine.h"
#include "cli/ConsoleUi.h"
#include "cli/ExitCode.h"
#include "cli/JsonOut.h"
#include "cli/WipeProgressLine.h"
#include "platform/Console.h"
#include "platform/IFileService.h"
#include "platform/IProcessTable.h"
#include "platform/PendingDeletionList.h"
#include "platform/Utf8Path.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "shredder/PendingFill.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

namespace quenvor::cli {
namespace {

using platform::RemainReason;
using shredder::FreeSpaceWipe;

// A stable word for scripts; the sentences say it in the user's language.
const char* remainsName(const std::optional<RemainReason>& r) {
    if (!r) return "";
    switch (*r) {
        case RemainReason::None:
            return "";
        case RemainReason::CopyOnWrite:
            return "copy-on-write";
        case RemainReason::SharedExtents:
            return "shared-extents";
        case RemainReason::Journal:
            return "journal";
        case RemainReason::NetworkOrUserSpace:
            return "network-or-user-space";
        case RemainReason::Overlay:
            return "overlay";
        case RemainReason::Stacked:
            return "stacked";
        case RemainReason::Compressed:
            return "compressed";
        case RemainReason::Moved:
            return "moved";
        case RemainReason::Unverifiable:
            return "unverifiable";
        case RemainReason::LowerLayer:
            return "lower-layer";
    }
    return "unverifiable";
}

}  // namespace

int WipeFreeSpaceCommand::run(const CommandLine& cl, std::ostream& out) {
    // Line breaks turned before anything is put in: a path keeps its backslashes.
    auto text = [&](int id) { return ConsoleUi::consoleText(m_strings.LoadLangString(id)); };
    const shredder::FreeSpaceWipeMessages say(text);
    Account a;
    a.code = ExitCode::NothingDone;
    // Recorded as typed, a relative folder would name another one to a start elsewhere.
    a.report.folder = platform::pathFromUtf8(cl.paths.front());
    std::error_code ec;
    if (auto absolute = std::filesystem::absolute(a.report.folder, ec); !ec) a.report.folder = absolute;
    const std::filesystem::path folder = a.report.folder;
    const std::string shown = platform::shownPath(platform::utf8Of(folder));
    auto refuse = [&](const std::string& why) {
        a.message = ConsoleUi::consoleLines(why);
        return finish(cl, a, out);
    };

    // Beside the list of removals left for the next start, where the window keeps it too.
    std::unique_ptr<shredder::PendingFill> record;
    if (m_services.pending && m_services.files)
        record = std::make_unique<shredder::PendingFill>(*m_services.files,
                                                         m_services.pending->file().parent_path() / "pending-fill");
    // A fill an unfinished wipe left holds the disk's free space: it goes before anything else.
    if (record) {
        ui::guarded(
            [&] { a.recovered = ConsoleUi::consoleLines(say.recovered(record->cleanUp(m_services.processes)).text); });
        if (!a.recovered.empty() && !cl.json) out << a.recovered << "\n\n" << std::flush;
    }

    if (!m_services.files) return refuse(say.result({}).text);
    const auto st = m_services.files->status(folder);
    if (!st || st->type != platform::FileType::Directory)
        return refuse(ui::replaceAll(text(text::CliNotAFolder), "%1", shown));
    if (!m_services.freeSpace || !m_services.random) return refuse(say.result({}).text);
    // A second fill beside a running one would only race it for the same space, and its record
    // would take the place of the one that lets a crash of the first be cleaned up.
    const std::int64_t self = m_services.processes ? m_services.processes->currentProcessId() : 0;
    if (record && m_services.processes) {
        const auto loaded = record->load();
        if (loaded.record && loaded.record->process != 0 && loaded.record->process != self &&
            m_services.processes->processAlive(loaded.record->process))
            return refuse(ui::replaceAll(text(text::WipeFreeRunning), "%1", std::to_string(loaded.record->process)));
    }
    if (!cl.yes && !ConsoleUi::ask(m_strings, m_questions, say.confirm(platform::utf8Of(folder)), text::CliAnswerYesNo))
        return refuse(text(text::CliWipeNotConfirmed));

    FreeSpaceWipe wipe(FreeSpaceWipe::Services{*m_services.files, *m_services.freeSpace, *m_services.random,
                                               m_services.storageProbe, record.get(), self, m_services.processes});
    if (cl.discard) {
        // Asked for only where it can be done; elsewhere the account says why it was not.
        const platform::DeviceKind drive = wipe.device(folder);
        if (!drive.known)
            a.discardWhyNot = text(text::CliDiscardUnknownDrive);
        else if (!drive.solidState)
            a.discardWhyNot = text(text::CliDiscardNotFlash);
        else if (!drive.discard)
            a.discardWhyNot = text(text::CliDiscardNotAccepted);
        else
            wipe.setDiscard(true);
    }

    WipeProgressLine line(say, m_strings, m_progress, m_progress ? nullptr : &m_questions);
    platform::Console::catchInterrupt();
    ui::reportedStep(
        [&] { a.report = wipe.run(folder, line); },
        [&](const std::string& why) { a.report.failure = why.empty() ? text(text::WipeFreeFailed) : why; });
    line.clear();
    const auto& r = a.report;
    if (cl.discard && a.discardWhyNot.empty() && r.started && !r.discarded && r.discardError.empty())
        a.discardWhyNot = text(text::CliDiscardNotReached);
    a.message = ConsoleUi::consoleLines(say.result(r).text);
    if (!a.discardWhyNot.empty()) a.message += "\n\n" + a.discardWhyNot;
    if (!r.started || r.written == 0)
        a.code = ExitCode::NothingDone;
    else if (r.aborted || !r.full || !r.failure.empty() || !r.notRemoved.empty() || !r.discardError.empty() ||
             !a.discardWhyNot.empty() || say.namesWhatMayRemain(r))
        a.code = ExitCode::Partly;
    else
        a.code = ExitCode::Done;
    return finish(cl, a, out);
}

int WipeFreeSpaceCommand::finish(const CommandLine& cl, Account& a, std::ostream& out) {
    if (!cl.json) {
        out << a.message << "\n";
        return a.code;
    }
    const auto& r = a.report;
    JsonOut json;
    json.beginObject()
        .value("command", "wipe-free-space")
        .value("folder", platform::utf8Of(r.folder))
        .value("filesystem", r.filesystem)
        .value("started", r.started)
        .value("full", r.full)
        .value("aborted", r.aborted)
        .value("written", r.written)
        .value("files", r.files)
        .value("free_before", r.freeBefore)
        .value("free_after", r.freeAfter)
        .value("unreachable", r.unreachable)
        .value("names", r.names)
        .value("names_bounded", r.namesBounded)
        .value("journal_written", r.journalWritten)
        .value("journal_cycled", r.journalCycled)
        .value("remains", remainsName(r.remains))
        .value("flash", r.flash)
        .value("discard_asked", cl.discard)
        .value("discarded", r.discarded)
        .value("discarded_bytes", r.discardedBytes)
        .value("discard_error", r.discardError.empty() ? a.discardWhyNot : r.discardError)
        .value("failure", r.failure);
    json.beginArray("not_removed");
    for (const auto& n : r.notRemoved) json.item(n);
    json.endArray();
    json.value("seconds", r.seconds)
        .value("recovered", a.recovered)
        .value("message", a.message)
        .value("exit_code", a.code)
        .endObject();
    out << json.text();
    return a.code;
}

}  // namespace quenvor::cli
