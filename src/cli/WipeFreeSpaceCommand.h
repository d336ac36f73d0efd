#pragma once
// "quenvor-cli wipe-free-space": the File Shredder page's wipe of free space without the window.
// The same wipe, the same record of the fill in the same per-user state folder (so a fill left
// by either program is removed at the next start of either, and a running wipe of one is left
// alone by the other), the same question unless --yes answered it, the same final account.
#include <filesystem>
#include <iosfwd>
#include <string>

#include "platform/PlatformServices.h"
#include "shredder/FreeSpaceWipe.h"

namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cli {

struct CommandLine;

class WipeFreeSpaceCommand {
public:
    // `questions`: where the question is asked (and, off a terminal, where progress is logged);
    // `progress`: the terminal's line, or null.
    WipeFreeSpaceCommand(platform::PlatformServices& services, ui::StringTable& strings, std::ostream& questions,
                         std::ostream* progress)
        : m_services(services), m_strings(strings), m_questions(questions), m_progress(progress) {}
    // The exit code.
    int run(const CommandLine& cl, std::ostream& out);

private:
    // What is told at the end, whether the wipe ran or was refused before it began.
    struct Account {
        shredder::FreeSpaceWipe::Report report;
        std::string recovered;      // what the start did with a fill left behind; empty: none
        std::string message;        // the sentences
        std::string discardWhyNot;  // --discard asked for, but not done, and why
        int code = 0;
    };
    int finish(const CommandLine& cl, Account& a, std::ostream& out);

    platform::PlatformServices& m_services;
    ui::StringTable& m_strings;
    std::ostream& m_questions;
    std::ostream* m_progress;
};

}  // namespace quenvor::cli
