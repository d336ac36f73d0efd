#pragma once
// "quenvor-cli shred": the File Shredder page without the window. The same engine, the same
// checks of where old contents may remain, the same words; the questions are asked on the
// terminal unless --yes answered them, and what the window guards with a second question is
// shredded only with --force as well.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "platform/IStorageProbe.h"
#include "platform/PlatformServices.h"

namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cli {

struct CommandLine;

class ShredCommand {
public:
    // `ask`: the question put to the user, true for yes; `progress`: the terminal's line, or null.
    ShredCommand(platform::PlatformServices& services, ui::StringTable& strings, std::ostream& questions,
                 std::ostream* progress)
        : m_services(services), m_strings(strings), m_questions(questions), m_progress(progress) {}
    // The exit code.
    int run(const CommandLine& cl, std::ostream& out);

    // One thing named on the command line or met inside a folder, with its end state.
    struct Item {
        std::string path;
        std::string kind;   // "file", "folder" or "other"
        std::string state;  // "removed", "may_remain" or "left"
        std::string reason;
    };

private:
    bool ask(const std::string& question);
    std::optional<platform::RemainReason> remainsWhere(const std::string& path);

    platform::PlatformServices& m_services;
    ui::StringTable& m_strings;
    std::ostream& m_questions;
    std::ostream* m_progress;
};

}  // namespace quenvor::cli
