#include "cli/ShredProgress.h"

#include <ostream>

#include "cleaning/RunAccount.h"
#include "platform/Console.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

namespace quenvor::cli {

ShredProgress::ShredProgress(platform::IFileService& files, shredder::cPattern& engine, ui::StringTable& strings,
                             std::ostream* line)
    : m_files(files), m_engine(engine), m_strings(strings), m_line(line) {}

void ShredProgress::add(const std::string& path, bool folder) {
    if (!m_line) return;
    if (!folder) {
        if (auto st = m_files.status(platform::pathFromUtf8(path))) {
            ++m_totalFiles;
            m_totalBytes += st->size;
        }
        return;
    }
    // Only looked at: the run itself holds and walks the folder again.
    ui::guarded([&] {
        shredder::cRecurse walk(m_files);
        (void)walk.visit(path, [&](const shredder::cRecurse::Found& f) {
            if (f.entry.type == platform::FileType::Regular) {
                ++m_totalFiles;
                if (auto st = f.folder.statAt(f.entry.name)) m_totalBytes += st->size;
            }
            return true;
        });
    });
}

void ShredProgress::eSCompPMax(std::int32_t lmax) {
    m_passes = lmax;
    m_currentSize = 0;
    if (!m_line) return;
    if (auto st = m_files.status(platform::pathFromUtf8(m_engine.SourceFile()))) m_currentSize = st->size;
    draw(m_doneBytes, true);
}

void ShredProgress::eSCompPTick(std::int32_t lCnt) {
    if (!m_line || m_passes <= 0) return;
    draw(m_doneBytes + m_currentSize * static_cast<std::uint64_t>(lCnt) / static_cast<std::uint64_t>(m_passes), false);
}

void ShredProgress::eSCompComplete() {
    ++m_completedFiles;
    m_doneBytes += m_currentSize;
    if (m_line) draw(m_doneBytes, true);
}

void ShredProgress::stopping() {
    m_stopping = true;
    if (m_line) draw(m_doneBytes, true);
}

void ShredProgress::draw(std::uint64_t doneBytes, bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && now - m_lastDraw < std::chrono::milliseconds(200)) return;
    m_lastDraw = now;
    cleaning::RunAccount say(m_strings);
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    std::string left = "?";
    if (doneBytes > 0 && m_totalBytes >= doneBytes) {
        const auto seconds = static_cast<std::uint64_t>(elapsed * static_cast<double>(m_totalBytes - doneBytes) /
                                                        static_cast<double>(doneBytes));
        left = seconds >= 3600 ? std::to_string(seconds / 3600) + "h" + std::to_string(seconds % 3600 / 60) + "m"
               : seconds >= 60 ? std::to_string(seconds / 60) + "m" + std::to_string(seconds % 60) + "s"
                               : std::to_string(seconds) + "s";
    }
    std::string text = m_strings.LoadLangString(text::CliProgress);
    text = ui::replaceAll(text, "%1", say.count(static_cast<std::uint64_t>(m_completedFiles)));
    text = ui::replaceAll(text, "%2", say.count(m_totalFiles));
    text = ui::replaceAll(text, "%3", say.size(doneBytes));
    text = ui::replaceAll(text, "%4", say.size(m_totalBytes));
    text = ui::replaceAll(text, "%5", left);
    if (m_stopping) text += "  " + m_strings.LoadLangString(text::CliStopping);
    const auto width = static_cast<std::size_t>(platform::Console::columns() - 1);
    if (text.size() > width) text.resize(width);
    *m_line << "\r" << text << std::string(m_shown > text.size() ? m_shown - text.size() : 0, ' ') << std::flush;
    m_shown = text.size();
}

void ShredProgress::clear() {
    if (!m_line || m_shown == 0) return;
    *m_line << "\r" << std::string(m_shown, ' ') << "\r" << std::flush;
    m_shown = 0;
}

}  // namespace quenvor::cli
