#pragma once
// Wipes the free space of the filesystem holding a folder: fills it with random data in files of
// one hidden folder at the top of the chosen folder, flushing as it goes, until the filesystem
// says it is full; removes them at once; then writes and removes empty files with long random
// names over the folder's free name entries; where the filesystem keeps a journal, makes enough
// changes of its own to push the journal's old copies of names out; then, when asked, discards the free space (TRIM).
// One pass. The fill is recorded (PendingFill) before its first byte, so a fill the program never
// saw end is removed at the next start. The report says what was reached and what was not: it
// never claims more than the writes achieved.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/IStorageProbe.h"
#include "shredder/IWipeEvents.h"
#include "shredder/PendingFill.h"

namespace quenvor::platform {
class IFileService;
class IFreeSpace;
class IProcessTable;
class IRandomSource;
}  // namespace quenvor::platform

namespace quenvor::shredder {

class FreeSpaceWipe {
public:
    struct Services {
        platform::IFileService& files;
        platform::IFreeSpace& space;
        platform::IRandomSource& random;
        platform::IStorageProbe* probe;  // null: nothing is known of what the filesystem keeps
        PendingFill* record;             // null: a crash leaves the fill for the user to find
        std::int64_t process = 0;        // recorded, so a second start leaves a running wipe alone
        // Tells whether the process of a recorded wipe still runs (the console's and the window's
        // share one record); null: a record is taken over, as when no other can be running.
        platform::IProcessTable* processes = nullptr;
    };
    struct Options {
        bool discard = false;  // discard (TRIM) the free space once the fill is removed
        std::size_t bufferBytes = std::size_t{8} << 20;
        // The buffer is drawn from the random source again after this much: the data stays
        // unpredictable while the source costs a fraction of the disk's time.
        std::uint64_t refillEvery = std::uint64_t{64} << 20;
        std::uint64_t flushEvery = std::uint64_t{32} << 20;
        // Under FAT32's limit of 4 GiB a file.
        std::uint64_t fileBytes = std::uint64_t{1} << 30;
        // Names written where the filesystem's name tables have no bound we can fill.
        std::uint64_t unboundedNames = 4096;
        std::uint64_t maxNames = 200000;
    };

    struct Report {
        std::filesystem::path folder;
        std::string filesystem;  // as the probe names it; empty when unknown
        bool started = false;    // the fill's folder was made
        bool full = false;       // the fill ran until the filesystem was full
        bool aborted = false;
        std::uint64_t freeBefore = 0;  // available to the user before the fill
        std::uint64_t freeAfter = 0;   // after the fill was removed
        std::uint64_t written = 0;
        std::uint64_t files = 0;
        // Free space this user could not write when the fill found the disk full: the
        // administrator's reserve, a quota.
        std::uint64_t unreachable = 0;
        // The name step.
        bool namesRun = false;
        bool namesBounded = false;
        std::uint64_t nameTableBytes = 0;
        std::uint64_t names = 0;
        // The filesystem's journal, and whether enough changes went through it to write over all
        // of it once, with the old copies of names it held.
        std::uint64_t journalBytes = 0;    // its length, or an upper estimate of it
        std::uint64_t journalWritten = 0;  // what this wipe's own changes put through it, at least
        bool journalCycled = false;
        // What the filesystem and the drive keep beyond the reach of any write.
        std::optional<platform::RemainReason> remains;
        bool flash = false;
        bool discardable = false;
        bool discarded = false;
        std::uint64_t discardedBytes = 0;
        std::string discardError;             // empty when not asked or done
        std::string failure;                  // what stopped the wipe, when something did
        bool notRecorded = false;             // nothing written: the record could not be made
        std::int64_t runningElsewhere = 0;    // nothing written: this process's wipe is recorded and runs
        std::vector<std::string> notRemoved;  // parts of the fill still on the disk, with why
        double seconds = 0;
    };

    FreeSpaceWipe(Services s, Options o) : m_s(s), m_o(o) {}
    explicit FreeSpaceWipe(Services s) : FreeSpaceWipe(s, Options()) {}
    // What the drive under `folder` is: asked before the confirmation, to offer the discard.
    platform::DeviceKind device(const std::filesystem::path& folder);
    void setDiscard(bool on) { m_o.discard = on; }

    Report run(const std::filesystem::path& folder, IWipeEvents& events);

private:
    struct Fill;
    void fill(platform::IDirectory& fillDir, Fill& f, IWipeEvents& events, Report& r);
    // Once the big files find the disk full: small ones into what is left.
    void fillTail(platform::IDirectory& fillDir, Fill& f, Report& r);
    // Takes the fill's folder and lets go of it before its name goes: Windows removes no folder
    // that is still open.
    void removeFill(platform::IDirectory& top, std::unique_ptr<platform::IDirectory> fillDir,
                    const std::string& fillName, Fill& f, Report& r);
    void writeNames(platform::IDirectory& top, const std::string& prefix, std::uint32_t nameMax, IWipeEvents& events,
                    Report& r);
    // Folders made, committed and removed in the fill's folder until the journal has gone round.
    void cycleJournal(platform::IDirectory& top, const std::string& fillName, std::uint64_t journalBytes,
                      std::uint32_t blockSize, IWipeEvents& events, Report& r);
    std::string randomName(std::size_t length, const std::string& prefix);

    Services m_s;
    Options m_o;
};

}  // namespace quenvor::shredder
