#include "shredder/FreeSpaceWipe.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/IFreeSpace.h"
#include "platform/IProcessTable.h"
#include "platform/IRandomSource.h"
#include "platform/Utf8Path.h"

namespace quenvor::shredder {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kProgressEvery = std::chrono::milliseconds(250);
// Name lengths tried longest first: each fills the gaps it fits, the shorter ones the rest.
constexpr std::array<std::size_t, 5> kNameLengths = {240, 120, 60, 28, 12};
constexpr std::size_t kPrefixLength = 8;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// A part of the wipe that could not be removed: named in the account, with why.
void leftBehind(FreeSpaceWipe::Report& r, const platform::IDirectory& in, const std::string& name,
                const platform::Error& e) {
    r.notRemoved.push_back(platform::utf8Of(in.path() / platform::pathFromUtf8(name)) + ": " + e.message);
}

}  // namespace

struct FreeSpaceWipe::Fill {
    std::vector<std::string> files;
    std::vector<std::byte> buffer;
    std::uint64_t sinceRefill = 0;
    std::uint32_t blockSize = 4096;
    std::uint64_t expected = 0;
    Clock::time_point began = Clock::now();
    // The first written buffer is shown at once, so the bar moves (and Abort is heard) before
    // the first interval has passed, however fast the disk.
    Clock::time_point reported = Clock::now() - std::chrono::hours(1);
};

platform::DeviceKind FreeSpaceWipe::device(const std::filesystem::path& folder) {
    return m_s.probe ? m_s.probe->device(folder) : platform::DeviceKind{};
}

std::string FreeSpaceWipe::randomName(std::size_t length, const std::string& prefix) {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = prefix;
    if (length <= name.size()) return name;
    std::vector<std::byte> bytes(length - name.size());
    // A source that fails still gives distinct names from the counter in the caller's prefix.
    (void)m_s.random.fill(bytes);
    for (const auto b : bytes) name += kChars[static_cast<unsigned>(b) % 36];
    return name;
}

FreeSpaceWipe::Report FreeSpaceWipe::run(const std::filesystem::path& folder, IWipeEvents& events) {
    const auto began = Clock::now();
    Report r;
    r.folder = folder;
    const auto finish = [&] {
        r.seconds = secondsSince(began);
        return r;
    };
    auto top = m_s.files.openDirectoryNoLinks(folder);
    if (!top) {
        r.failure = top.error().message;
        return finish();
    }
    auto facts = m_s.space.space(**top);
    auto id = (*top)->status();
    if (!facts || !id) {
        r.failure = !facts ? facts.error().message : id.error().message;
        return finish();
    }
    r.freeBefore = facts->available;
    r.filesystem = facts->filesystem;
    if (m_s.probe) {
        if (auto v = m_s.probe->examine((*top)->nativeHandle())) {
            r.filesystem = v->filesystem;
            if (!v->inPlace()) r.remains = v->reason;
        }
        const auto dev = m_s.probe->device(folder);
        r.flash = dev.known && dev.solidState;
        r.discardable = dev.discard;
    }

    const std::string fillName = randomName(14 + kPrefixLength, ".quenvor-wipe-");
    const std::string namePrefix = randomName(kPrefixLength, ".qv");
    if (m_s.record && m_s.processes) {
        // Its record is the one that lets a crash of that wipe be cleaned up: never written over.
        const auto loaded = m_s.record->load();
        if (loaded.record && loaded.record->process != 0 && loaded.record->process != m_s.process &&
            m_s.processes->processAlive(loaded.record->process)) {
            r.runningElsewhere = loaded.record->process;
            return finish();
        }
    }
    if (m_s.record) {
        if (auto s = m_s.record->begin({m_s.process, folder, id->identity(), fillName, namePrefix}); !s) {
            r.notRecorded = true;
            r.failure = s.error().message;
            return finish();
        }
    }
    if (auto s = m_s.space.makeFolder(**top, fillName); !s) {
        r.failure = s.error().message;
        if (m_s.record) (void)m_s.record->forget();  // nothing was made: nothing for the next start
        return finish();
    }
    r.started = true;
    Fill f;
    f.blockSize = std::max<std::uint32_t>(facts->blockSize, 512);
    f.expected = std::max<std::uint64_t>(facts->available, 1);
    auto fillDir = (*top)->openDir(fillName);
    if (!fillDir)
        r.failure = fillDir.error().message;
    else
        fill(**fillDir, f, events, r);
    if (fillDir && r.full)
        if (auto s = m_s.space.writeBack(**fillDir); !s && r.failure.empty()) r.failure = s.error().message;
    // Never leave the disk full: whatever ended the fill, it goes now.
    events.wipeStep(WipeStep::Removing);
    removeFill(**top, fillDir ? std::move(*fillDir) : nullptr, fillName, f, r);

    if (!r.aborted && r.failure.empty() && r.notRemoved.empty()) {
        writeNames(**top, namePrefix, facts->nameMax, events, r);
        if (auto table = m_s.space.names(**top); table && table->journalBytes > 0 && r.notRemoved.empty())
            cycleJournal(**top, fillName, table->journalBytes, f.blockSize, events, r);
    }
    if (m_o.discard && !r.aborted && r.notRemoved.empty()) {
        events.wipeStep(WipeStep::Discarding);
        if (auto d = m_s.space.discardFree(**top)) {
            r.discarded = true;
            r.discardedBytes = *d;
        } else {
            r.discardError = d.error().message;
        }
    }
    if (auto after = m_s.space.space(**top)) r.freeAfter = after->available;
    // Kept while anything is left, so the next start removes it.
    if (m_s.record && r.notRemoved.empty()) (void)m_s.record->forget();
    return finish();
}

void FreeSpaceWipe::fill(platform::IDirectory& fillDir, Fill& f, IWipeEvents& events, Report& r) {
    events.wipeStep(WipeStep::Filling);
    f.buffer.resize(std::max<std::size_t>(m_o.bufferBytes, f.blockSize));
    if (auto s = m_s.random.fill(f.buffer); !s) {
        r.failure = s.error().message;
        return;
    }
    const auto progress = [&](bool now) {
        const auto t = Clock::now();
        if (!now && t - f.reported < kProgressEvery) return;
        f.reported = t;
        WipeProgress p;
        p.written = r.written;
        p.expected = std::max(f.expected, r.written);
        const double s = secondsSince(f.began);
        if (s > 0.5 && r.written > 0) {
            p.bytesPerSecond = static_cast<std::uint64_t>(static_cast<double>(r.written) / s);
            if (p.bytesPerSecond > 0)
                p.secondsLeft = static_cast<std::int64_t>((p.expected - p.written) / p.bytesPerSecond);
        }
        events.wipeProgress(p);
    };
    const auto fail = [&](const platform::Error& e) {
        if (platform::isDiskFull(e)) return true;
        r.failure = e.message;
        return false;
    };

    for (std::uint64_t index = 0; !r.full && !r.aborted && r.failure.empty(); ++index) {
        char number[24];
        std::snprintf(number, sizeof number, "%06llu", static_cast<unsigned long long>(index));
        const std::string name = std::string(PendingFill::kFillFilePrefix) + number;
        auto file = m_s.space.createFile(fillDir, name);
        if (!file) {
            r.full = fail(file.error());
            break;
        }
        f.files.push_back(name);
        ++r.files;
        const std::uint64_t before = r.written;
        std::uint64_t offset = 0, sinceFlush = 0;
        while (offset < m_o.fileBytes && !r.full && r.failure.empty()) {
            if (events.wipeStopRequested()) {
                r.aborted = true;
                break;
            }
            if (f.sinceRefill >= m_o.refillEvery) {
                if (auto s = m_s.random.fill(f.buffer); !s) {
                    r.failure = s.error().message;
                    break;
                }
                f.sinceRefill = 0;
            }
            const auto chunk =
                static_cast<std::size_t>(std::min<std::uint64_t>(f.buffer.size(), m_o.fileBytes - offset));
            if (auto s = (*file)->writeAt(offset, std::span<const std::byte>(f.buffer.data(), chunk)); !s) {
                if (!fail(s.error())) break;
                // The last blocks one at a time from where the big write stopped, so the fill
                // reaches the very end of the free space.
                auto len = (*file)->length();
                offset = len ? *len : offset;
                offset -= offset % f.blockSize;
                while ((*file)->writeAt(offset, std::span<const std::byte>(f.buffer.data(), f.blockSize)))
                    offset += f.blockSize;
                r.full = true;
                break;
            }
            offset += chunk;
            sinceFlush += chunk;
            f.sinceRefill += chunk;
            r.written = before + offset;
            if (sinceFlush >= m_o.flushEvery) {
                // Started, not waited for: the device writes while the next part is made, and
                // the file is flushed whole before anything is removed.
                if (auto s = (*file)->startFlush(offset - sinceFlush, sinceFlush); !s) r.full = fail(s.error());
                sinceFlush = 0;
            }
            progress(false);
        }
        if (auto s = (*file)->flushToDevice(); !s && r.failure.empty()) r.full = fail(s.error()) || r.full;
        if (auto len = (*file)->length()) r.written = before + *len;
        if (auto s = (*file)->close(); !s && r.failure.empty() && !platform::isDiskFull(s.error()))
            r.failure = s.error().message;
    }
    if (r.full) fillTail(fillDir, f, r);
    (void)fillDir.flush();
    progress(true);
    if (r.full)
        if (auto full = m_s.space.space(fillDir)) r.unreachable = full->free;
}

void FreeSpaceWipe::fillTail(platform::IDirectory& fillDir, Fill& f, Report& r) {
    // ext4 refuses a big file's next block while it still holds blocks back for that file's
    // extent tree; new small files need none, and reach what is left.
    constexpr std::uint64_t kBlocksPerFile = 16;
    constexpr std::uint64_t kMaxTailFiles = 65536;
    for (std::uint64_t n = 0; n < kMaxTailFiles; ++n) {
        char number[32];
        std::snprintf(number, sizeof number, "%06llu-tail", static_cast<unsigned long long>(n));
        const std::string name = std::string(PendingFill::kFillFilePrefix) + number;
        auto file = m_s.space.createFile(fillDir, name);
        if (!file) return;
        f.files.push_back(name);
        ++r.files;
        std::uint64_t blocks = 0;
        while (blocks < kBlocksPerFile &&
               (*file)->writeAt(blocks * f.blockSize, std::span<const std::byte>(f.buffer.data(), f.blockSize)))
            ++blocks;
        (void)(*file)->flushToDevice();
        if (auto len = (*file)->length()) r.written += *len;
        (void)(*file)->close();
        if (blocks == 0) return;
    }
}

void FreeSpaceWipe::removeFill(platform::IDirectory& top, std::unique_ptr<platform::IDirectory> fillDir,
                               const std::string& fillName, Fill& f, Report& r) {
    if (fillDir) {
        for (const auto& name : f.files)
            if (auto s = fillDir->unlinkAt(name, false); !s && !platform::isGone(s.error()))
                leftBehind(r, *fillDir, name, s.error());
        (void)fillDir->flush();
        fillDir.reset();
    }
    if (!r.notRemoved.empty()) return;
    if (auto s = top.unlinkAt(fillName, true); !s && !platform::isGone(s.error()))
        leftBehind(r, top, fillName, s.error());
    (void)top.flush();
}

void FreeSpaceWipe::writeNames(platform::IDirectory& top, const std::string& prefix, std::uint32_t nameMax,
                               IWipeEvents& events, Report& r) {
    events.wipeStep(WipeStep::Names);
    auto table = m_s.space.names(top);
    r.namesRun = true;
    r.namesBounded = table && table->bounded;
    r.nameTableBytes = table ? table->bytes : 0;
    std::size_t longest = std::min<std::size_t>(nameMax, kNameLengths.front());
#ifdef _WIN32
    // Whole paths stay under MAX_PATH, which much of Windows still cannot go beyond.
    const std::size_t room = 250 > top.path().native().size() ? 250 - top.path().native().size() : 0;
    longest = std::min(longest, room);
#endif
    if (longest <= prefix.size() + 4) return;
    std::vector<std::byte> content(table ? table->residentBytes : 0);
    std::vector<std::string> made;
    std::uint64_t counter = 0;
    const auto create = [&](std::size_t length) {
        // A counter after the prefix keeps every name distinct whatever the random part draws.
        const std::string head = prefix + std::to_string(counter++) + "-";
        const std::string name = randomName(std::max(length, head.size() + 1), head);
        auto f = m_s.space.createFile(top, name);
        if (!f) return false;
        made.push_back(name);
        if (!content.empty() && m_s.random.fill(content)) (void)(*f)->writeAt(0, content);
        (void)(*f)->close();
        return true;
    };
    if (r.namesBounded) {
        auto size = top.status();
        std::uint64_t was = size ? size->size : 0;
        for (const std::size_t wanted : kNameLengths) {
            const std::size_t length = std::min(wanted, longest);
            if (length < wanted && wanted != kNameLengths.front()) continue;
            const std::uint64_t cap = r.nameTableBytes / (8 + (length + 3) / 4 * 4) + 1;
            for (std::uint64_t i = 0; i < cap && made.size() < m_o.maxNames; ++i) {
                if (events.wipeStopRequested() || !create(length)) break;
                // The folder grew: no gap that long was left, and the rest goes to shorter names.
                auto now = top.status();
                if (now && now->size > was) {
                    was = now->size;
                    break;
                }
            }
        }
    } else {
        for (std::uint64_t i = 0; i < m_o.unboundedNames && made.size() < m_o.maxNames; ++i)
            if (events.wipeStopRequested() || !create(longest)) break;
    }
    (void)top.flush();
    r.names = made.size();
    for (const auto& name : made)
        if (auto s = top.unlinkAt(name, false); !s && !platform::isGone(s.error())) leftBehind(r, top, name, s.error());
    (void)top.flush();
}

void FreeSpaceWipe::cycleJournal(platform::IDirectory& top, const std::string& fillName, std::uint64_t journalBytes,
                                 std::uint32_t blockSize, IWipeEvents& events, Report& r) {
    r.journalBytes = journalBytes;
    // Where the system says where its log writes (XFS), the log has gone round once its head has
    // moved on by the log's length. Elsewhere (ext4) each new folder's first block is a whole
    // block of the journal when its change is committed, so as many folders as the journal has
    // blocks write over all of it; the length is an upper estimate already.
    const auto start = m_s.space.journalHead(top);
    const std::uint64_t units = journalBytes / 512;
    const std::uint64_t wanted =
        start ? journalBytes / 64 + 1  // a bound, should the head stop moving: no folder logs less
              : journalBytes / std::max<std::uint32_t>(blockSize, 512) + 1;
    const auto wentRound = [&](std::uint64_t made) {
        if (!start) return made >= wanted;
        const auto now = m_s.space.journalHead(top);
        return now && now->cycle > start->cycle &&
               (now->cycle - start->cycle) * units + now->block >= start->block + units;
    };
    constexpr std::uint64_t kBatch = 4096;
    if (auto s = m_s.space.makeFolder(top, fillName); !s) return;
    auto dir = top.openDir(fillName);
    std::uint64_t made = 0;
    std::vector<std::string> batch;
    batch.reserve(kBatch);
    bool stuck = false, round = false;
    for (std::uint64_t n = 0; dir && !round && made < wanted && !stuck && !events.wipeStopRequested(); ++n) {
        batch.clear();
        for (std::uint64_t i = 0; i < kBatch && made + batch.size() < wanted; ++i) {
            char number[48];
            std::snprintf(number, sizeof number, "j%llu-%llu", static_cast<unsigned long long>(n),
                          static_cast<unsigned long long>(i));
            const std::string name = std::string(PendingFill::kFillFilePrefix) + number;
            // Out of inodes or space: what was made still goes through, and this round is the last,
            // rather than one commit a folder from here on.
            if (!m_s.space.makeFolder(**dir, name)) {
                stuck = true;
                break;
            }
            batch.push_back(name);
        }
        // Committed before they go: a block made and freed within one transaction never reaches the journal.
        if (auto s = (*dir)->flush(); !s)
            stuck = true;
        else
            made += batch.size();
        for (const auto& name : batch)
            if (auto s = (*dir)->unlinkAt(name, true); !s && !platform::isGone(s.error()))
                leftBehind(r, **dir, name, s.error());
        (void)(*dir)->flush();
        round = wentRound(made);
    }
    if (dir) dir->reset();
    if (r.notRemoved.empty())
        if (auto s = top.unlinkAt(fillName, true); !s && !platform::isGone(s.error()))
            leftBehind(r, top, fillName, s.error());
    (void)top.flush();
    r.journalCycled = round;
    if (const auto end = start ? m_s.space.journalHead(top) : std::nullopt; end && end->cycle >= start->cycle)
        r.journalWritten = ((end->cycle - start->cycle) * units + end->block - start->block) * 512;
    else
        r.journalWritten = made * std::max<std::uint32_t>(blockSize, 512);
}

}  // namespace quenvor::shredder
