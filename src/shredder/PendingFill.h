#pragma once
// A wipe of free space in progress, recorded in the per-user state folder before its first byte
// is written: a fill the program never saw end (killed, crashed, the power gone) holds the
// disk's free space until someone removes it, so the next start does. Only what the record names
// is touched: the fill's own folder of "fill-" files inside the chosen folder, held by identity,
// and the empty files of the name step, which carry the record's random prefix.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/IFileService.h"
#include "platform/Result.h"

namespace quenvor::platform {
class IProcessTable;
}

namespace quenvor::shredder {

class PendingFill {
public:
    struct Record {
        std::int64_t process = 0;      // the process carrying it out; 0: not known
        std::filesystem::path folder;  // the chosen folder, the fill's folder at its top
        platform::FileIdentity folderId;
        std::string fill;   // the fill's folder, a single name
        std::string names;  // the prefix of the name step's files
        bool operator==(const Record&) const = default;
    };
    // What the next start found and did.
    struct Cleanup {
        bool found = false;             // a record was there (and was not another run's own)
        bool damaged = false;           // it could not be read or trusted, and was forgotten
        std::filesystem::path fill;     // the fill's folder as recorded
        std::uint64_t files = 0;        // files of the fill and of the name step removed
        std::uint64_t bytes = 0;        // what they held
        std::vector<std::string> left;  // what could not be removed, with why
        bool forgotten = false;         // the record is gone (it stays while something is left)
    };

    PendingFill(platform::IFileService& files, std::filesystem::path file) : m_files(files), m_file(std::move(file)) {}

    // Written whole and flushed before the fill's folder is made.
    platform::Status begin(const Record& r);
    platform::Status forget() const;
    const std::filesystem::path& file() const { return m_file; }

    struct Loaded {
        std::optional<Record> record;
        bool damaged = false;
    };
    Loaded load() const;
    // Removes a fill left behind, unless `processes` says the run that recorded it still goes on.
    Cleanup cleanUp(platform::IProcessTable* processes);

    static constexpr std::string_view kFillFilePrefix = "fill-";
    static std::string format(const Record& r);
    static std::optional<Record> parse(std::string_view text);

private:
    platform::IFileService& m_files;
    std::filesystem::path m_file;
};

}  // namespace quenvor::shredder
