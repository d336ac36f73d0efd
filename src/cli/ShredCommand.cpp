#include "cli/ShredCommand.h"

#include <ostream>

#include "cli/CommandLine.h"
#include "cli/ConsoleUi.h"
#include "cli/ExitCode.h"
#include "cli/JsonOut.h"
#include "cli/ShredProgress.h"
#include "platform/Console.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"
#include "shredder/FolderShred.h"
#include "shredder/HeldChoice.h"
#include "shredder/OverwriteCheck.h"
#include "shredder/ProtectedPaths.h"
#include "shredder/ShredMessages.h"
#include "shredder/ShredderPage.h"
#include "shredder/cPattern.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

namespace quenvor::cli {
namespace {

using shredder::FolderShred;
using shredder::ShredResult;
using shredder::ShredStatus;

const char* kindName(FolderShred::Kind k) {
    return k == FolderShred::Kind::File ? "file" : k == FolderShred::Kind::Folder ? "folder" : "other";
}

}  // namespace

std::optional<platform::RemainReason> ShredCommand::remainsWhere(const std::string& path) {
    if (!m_services.storageProbe) return std::nullopt;
    std::optional<platform::RemainReason> remains;
    ui::guarded([&] {
        auto v = m_services.storageProbe->examinePath(platform::pathFromUtf8(path));
        if (v && !v->inPlace()) remains = v->reason;
    });
    return remains;
}

bool ShredCommand::ask(const std::string& question) {
    return ConsoleUi::ask(m_strings, m_questions, question, text::CliAskYesNo);
}

int ShredCommand::run(const CommandLine& cl, std::ostream& out) {
    // Line breaks turned before anything is put in: a path keeps its backslashes.
    auto text = [&](int id) { return ConsoleUi::consoleText(m_strings.LoadLangString(id)); };
    auto& files = *m_services.files;
    shredder::cPattern engine(files, m_services.random);
    shredder::OverwriteCheck check(m_services.storageProbe);
    check.attachTo(engine);
    ShredProgress progress(files, engine, m_strings, m_progress);
    engine.setEvents(&progress);
    const shredder::ShredMessages say([&](int id) { return text(id); });
    const shredder::ProtectedPaths protectedPaths(files, m_services.folders);

    std::vector<Item> items;
    std::vector<std::string> messages;
    bool acted = false, stopped = false;
    // A choice not shredded at all: named, with why.
    auto leave = [&](const std::string& path, const char* kind, const std::string& why) {
        items.push_back({path, kind, "left", ConsoleUi::consoleLines(why)});
        messages.push_back(platform::shownPath(path) + ": " + ConsoleUi::consoleLines(why));
    };

    struct Choice {
        std::string path;
        bool folder = false;
        platform::FileStatus status;
    };
    std::vector<Choice> chosen;
    for (const auto& path : cl.paths) {
        const auto st = files.status(platform::pathFromUtf8(path));
        if (!st || (st->type != platform::FileType::Regular && st->type != platform::FileType::Directory)) {
            leave(path, "other", say.notAFile(path, st && st->type == platform::FileType::NotFound));
            continue;
        }
        const bool folder = st->type == platform::FileType::Directory;
        const auto remains = remainsWhere(path);
        std::string question = folder ? say.confirmFolder(path, remains) : say.confirmFile(path, remains);
        // What the window asks a second time for.
        std::string second;
        if (const auto kind = protectedPaths.of(path, folder); kind != shredder::Protection::None)
            second = say.protectedChoice(kind, path, folder);
        else if (!folder && st->hardLinks > 1)
            second = say.sharedContents(st->hardLinks - 1);
        if (!second.empty() && !cl.force) {
            leave(path, folder ? "folder" : "file", second + "\n" + text(text::CliNeedsForce));
            continue;
        }
        if (!cl.yes && (!ask(question) || (!second.empty() && !ask(second)))) {
            leave(path, folder ? "folder" : "file", text(text::CliDeclined));
            continue;
        }
        chosen.push_back({path, folder, *st});
    }

    for (const auto& c : chosen) progress.add(c.path, c.folder);
    if (!chosen.empty()) platform::Console::catchInterrupt();
    for (const auto& c : chosen) {
        if (platform::Console::interrupted()) {
            stopped = true;
            leave(c.path, c.folder ? "folder" : "file", text(text::AbortedStatus));
            continue;
        }
        acted = true;
        auto prepare = [&] {
            engine.setAttibs(true);
            engine.setSecurePass(cl.passes);
            engine.setProcessEvents([&] {
                if (platform::Console::interrupted() && !stopped) {
                    stopped = true;
                    progress.stopping();
                }
            });
        };
        if (!c.folder) {
            prepare();
            engine.setAllowedNames(c.status.hardLinks);
            engine.setSourceFile(c.path);
            ShredResult r;
            bool moved = false;
            ui::reportedStep(
                [&] {
                    const auto held = shredder::HeldChoice::hold(files, c.path, false);
                    switch (held.problem()) {
                        case shredder::HeldChoice::Problem::None:
                            r = engine.shredIn(*held.parent(), held.name(), &c.status);
                            moved = !held.stillAtPath(files);
                            break;
                        case shredder::HeldChoice::Problem::Gone:
                            r = {ShredStatus::NotFound, {}};
                            break;
                        case shredder::HeldChoice::Problem::Changed:
                        case shredder::HeldChoice::Problem::LinkOnTheWay:
                            r = {ShredStatus::Changed, {}};
                            break;
                        case shredder::HeldChoice::Problem::Unreadable:
                            r = {ShredStatus::OpenFailed, held.detail()};
                            break;
                    }
                },
                [&](const std::string& why) {
                    r = {ShredStatus::Unexpected, why};
                });
            progress.clear();
            messages.push_back(ConsoleUi::consoleLines(say.fileResult(c.path, r, moved).text));
            if (!r.ok())
                items.push_back({c.path, "file", "left", ConsoleUi::consoleLines(say.reasonFor(r))});
            else if (r.storage.mayRemain())
                items.push_back({c.path, "file", "may_remain", say.remainText(r.storage.reason)});
            else
                items.push_back({c.path, "file", "removed", {}});
            continue;
        }

        auto held = shredder::HeldChoice::hold(files, c.path, true);
        if (!held.ok()) {
            leave(
                c.path, "folder",
                say.folderNotHeld(c.path, held.problem() == shredder::HeldChoice::Problem::Unreadable, held.detail()));
            continue;
        }
        FolderShred::Hooks hooks;
        hooks.beforeFile = prepare;
        hooks.stopRequested = [&] { return platform::Console::interrupted(); };
        FolderShred::Outcome outcome;
        const int before = progress.completed();
        ui::reportedStep([&] { outcome = FolderShred(files, engine, std::move(hooks)).run(held); },
                         [&](const std::string& why) {
                             FolderShred::Left l;
                             l.path = c.path;
                             l.reason = FolderShred::Reason::Unexpected;
                             l.detail = why;
                             l.kind = FolderShred::Kind::Folder;
                             outcome.left.push_back(std::move(l));
                         });
        const auto left = shredder::ShredderPage::tallyLeft(files, held);
        held = shredder::HeldChoice();
        progress.clear();
        if (outcome.aborted) stopped = true;
        messages.push_back(
            ConsoleUi::consoleLines(say.folderResult(c.path, outcome, left, progress.completed() - before).text));
        for (const auto& l : outcome.left)
            items.push_back({l.path, kindName(l.kind), "left", ConsoleUi::consoleLines(say.reasonFor(l))});
        for (const auto& r : outcome.remained)
            items.push_back({r.path, "file", "may_remain", say.remainText(r.reason)});
        const bool done = outcome.done() && !outcome.choiceMoved;
        items.push_back(
            {c.path, "folder",
             !done                      ? "left"
             : outcome.remained.empty() ? "removed"
                                        : "may_remain",
             done ? std::string() : ConsoleUi::consoleLines(say.folderResult(c.path, outcome, left, 0).text)});
    }
    progress.clear();

    int code = ExitCode::Done;
    std::uint64_t removed = 0, mayRemain = 0, left = 0;
    for (const auto& i : items) {
        if (i.state == "removed")
            ++removed;
        else if (i.state == "may_remain")
            ++mayRemain;
        else
            ++left;
    }
    if (!acted)
        code = ExitCode::NothingDone;
    else if (left + mayRemain > 0)
        code = ExitCode::Partly;

    if (cl.json) {
        JsonOut json;
        json.beginObject().value("command", "shred").value("passes", static_cast<int>(cl.passes));
        json.value("stopped", stopped);
        json.beginArray("items");
        for (const auto& i : items)
            json.beginObject()
                .value("path", i.path)
                .value("kind", i.kind)
                .value("state", i.state)
                .value("reason", i.reason)
                .endObject();
        json.endArray();
        json.beginObject("totals")
            .value("removed", removed)
            .value("may_remain", mayRemain)
            .value("left", left)
            .endObject();
        json.value("exit_code", code).endObject();
        out << json.text();
    } else {
        for (const auto& m : messages) out << m << "\n";
    }
    return code;
}

}  // namespace quenvor::cli
