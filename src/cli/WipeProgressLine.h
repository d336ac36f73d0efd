#pragma once
// The progress of a console wipe of free space on standard error: bytes written of the free
// space there was, the rate and the time left. On a terminal one line is redrawn a few times a
// second; into a file or a pipe a plain line is written as each step begins and now and then
// while the fill runs, so a log shows how far it came without thousands of lines. Ctrl+C is
// heard here as the request to stop.
#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>

#include "shredder/IWipeEvents.h"

namespace quenvor::shredder {
class FreeSpaceWipeMessages;
}
namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cli {

class WipeProgressLine : public shredder::IWipeEvents {
public:
    // `terminal`: the line to redraw; null: plain lines on `log`, or nothing when that is null too.
    WipeProgressLine(const shredder::FreeSpaceWipeMessages& say, ui::StringTable& strings, std::ostream* terminal,
                     std::ostream* log)
        : m_say(say), m_strings(strings), m_terminal(terminal), m_log(log) {}

    // Takes the line off the terminal before the account is written.
    void clear();

    void wipeStep(shredder::WipeStep step) override;
    void wipeProgress(const shredder::WipeProgress& p) override;
    bool wipeStopRequested() override;

private:
    void show(const std::string& text);

    const shredder::FreeSpaceWipeMessages& m_say;
    ui::StringTable& m_strings;
    std::ostream* m_terminal;
    std::ostream* m_log;
    std::size_t m_shown = 0;  // characters on the terminal's line now
    bool m_stopping = false;
    // The first progress is logged at once.
    std::chrono::steady_clock::time_point m_lastLogged = std::chrono::steady_clock::now() - std::chrono::hours(1);
};

}  // namespace quenvor::cli
