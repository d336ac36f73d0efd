#include "cli/WipeProgressLine.h"

#include <algorithm>
#include <ostream>

#include "cli/ConsoleUi.h"
#include "platform/Console.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "text/TextIds.h"
#include "ui/StringTable.h"

namespace quenvor::cli {
namespace {
// A fill of a large drive takes hours: a line every half minute keeps a log readable.
constexpr auto kLogEvery = std::chrono::seconds(30);
}  // namespace

void WipeProgressLine::show(const std::string& text) {
    if (m_terminal) {
        std::string line = ConsoleUi::consoleLines(text);
        const auto width = static_cast<std::size_t>(std::max(platform::Console::columns() - 1, 1));
        // Cut between characters, never inside one of UTF-8's several bytes.
        if (line.size() > width) {
            std::size_t end = width;
            while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
            line.resize(end);
        }
        *m_terminal << "\r" << line << std::string(m_shown > line.size() ? m_shown - line.size() : 0, ' ')
                    << std::flush;
        m_shown = line.size();
    } else if (m_log) {
        *m_log << ConsoleUi::consoleLines(text) << "\n" << std::flush;
    }
}

void WipeProgressLine::clear() {
    if (!m_terminal || m_shown == 0) return;
    *m_terminal << "\r" << std::string(m_shown, ' ') << "\r" << std::flush;
    m_shown = 0;
}

void WipeProgressLine::wipeStep(shredder::WipeStep step) {
    // The fill's own line comes with its first progress.
    if (const std::string line = m_say.stepLine(step); !line.empty()) show(line);
}

void WipeProgressLine::wipeProgress(const shredder::WipeProgress& p) {
    if (m_stopping) return;
    if (!m_terminal) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lastLogged < kLogEvery) return;
        m_lastLogged = now;
    }
    show(m_say.progressLine(p));
}

bool WipeProgressLine::wipeStopRequested() {
    if (!platform::Console::interrupted()) return false;
    if (!m_stopping) {
        m_stopping = true;
        show(ConsoleUi::consoleText(m_strings.LoadLangString(text::CliWipeStopping)));
    }
    return true;
}

}  // namespace quenvor::cli
