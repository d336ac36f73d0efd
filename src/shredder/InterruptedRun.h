#pragma once
// The shred in progress, kept in a small file in the per-user state folder while it runs, so a
// run the program never saw end (killed, crashed, the power gone) is known at the next start:
// what was chosen and with which level, which file's passes were under way, how many files were
// finished. Every write replaces the file whole. A run that ends in any way the program sees
// removes it.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/IFileService.h"
#include "platform/Result.h"

namespace quenvor::shredder {

class InterruptedRun {
public:
    struct Record {
        std::int64_t process = 0;  // the process carrying it out; 0: not known
        bool folder = false;
        std::filesystem::path choice;
        platform::FileIdentity choiceId;
        std::int32_t passes = 0;
        std::uint64_t finished = 0;     // files overwritten and removed so far
        std::filesystem::path current;  // the file whose passes were under way; empty: none yet
        platform::FileIdentity currentId;
        bool operator==(const Record&) const = default;
    };
    struct Loaded {
        std::optional<Record> record;  // none when no run was left unfinished
        bool damaged = false;          // there was a record, but it could not be read or trusted
    };

    // On ext4 each replacement of the record costs about half a millisecond (a rename over a
    // file starts the new one's write-back), a fair part of what shredding a small file takes:
    // a folder of small files updates it at most once per `interval`.
    InterruptedRun(platform::IFileService& files, std::filesystem::path file, std::int64_t process = 0,
                   std::chrono::milliseconds interval = std::chrono::milliseconds(200))
        : m_files(files), m_file(std::move(file)), m_process(process), m_interval(interval) {}

    // A run begins: the choice as it is now. Flushed, since this one write is what a power cut
    // must find.
    platform::Status begin(bool folder, const std::filesystem::path& choice, std::int32_t passes);
    // A file's passes begin. Not flushed: it happens once per file of a folder, and a record a
    // file behind still names the run and its choice. Written at once for the run's first file,
    // for a file big enough to take a while, and when the last update is `interval` old; else at
    // the end of one of its passes once it is.
    platform::Status fileBegins(const std::filesystem::path& file, std::int32_t passes);
    platform::Status passDone();
    void fileFinished() { ++m_record.finished; }
    // The run ended, however it ended.
    platform::Status end();

    Loaded load() const;
    platform::Status forget() const;
    const std::filesystem::path& file() const { return m_file; }

    static std::string format(const Record& r);
    static std::optional<Record> parse(std::string_view text);

private:
    platform::IFileService& m_files;
    std::filesystem::path m_file;
    Record m_record;
    std::int64_t m_process;
    std::chrono::milliseconds m_interval;
    std::chrono::steady_clock::time_point m_written;
    bool m_running = false;
    bool m_due = false;  // the record on disk names an earlier file

    platform::Status write();
};

}  // namespace quenvor::shredder
