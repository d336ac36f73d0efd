#pragma once
// The progress line of a console shred, on standard error while it is a terminal: files and
// bytes done of the whole run, and the time left at the pace so far. The engine tells each
// file's passes; the size of what is to come is counted before the run starts.
#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>

#include "shredder/IShredEvents.h"

namespace quenvor::platform {
class IFileService;
}
namespace quenvor::shredder {
class cPattern;
}
namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cli {

class ShredProgress : public shredder::IShredEvents {
public:
    // `line` null: nothing is shown, only the files whose passes ran to the end are counted.
    ShredProgress(platform::IFileService& files, shredder::cPattern& engine, ui::StringTable& strings,
                  std::ostream* line);

    // What the run will cover, before it starts.
    void add(const std::string& path, bool folder);
    int completed() const { return m_completedFiles; }
    // Takes the line off the terminal before a message is written.
    void clear();
    void stopping();

    void eSCompPMax(std::int32_t lmax) override;
    void eSCompPTick(std::int32_t lCnt) override;
    void eSCompComplete() override;

private:
    void draw(std::uint64_t doneBytes, bool force);

    platform::IFileService& m_files;
    shredder::cPattern& m_engine;
    ui::StringTable& m_strings;
    std::ostream* m_line;
    std::uint64_t m_totalFiles = 0, m_totalBytes = 0, m_doneBytes = 0, m_currentSize = 0;
    std::int32_t m_passes = 0;
    int m_completedFiles = 0;
    std::size_t m_shown = 0;  // characters on the line now
    bool m_stopping = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now(), m_lastDraw{};
};

}  // namespace quenvor::cli
