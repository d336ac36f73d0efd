#include "shredder/cPattern.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <random>
#include <vector>

#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/IRandomSource.h"
#include "platform/Utf8Path.h"
#include "shredder/NameWiper.h"

namespace quenvor::shredder {
namespace {

constexpr std::int64_t kPumpIntervalNs = 200'000'000;
// Rounds spent catching up with a file another program keeps appending to.
constexpr int kGrowthRounds = 3;
constexpr std::size_t kGrowthBlock = 524288;
// Blocks this large go to the file as they are; smaller ones are gathered into one write of up
// to kBatchBytes, so a 4 KiB file made of 128-byte blocks costs one call a pass, not 32. Larger
// blocks are not copied: a megabyte copied a pass costs more than the calls it saves.
constexpr std::size_t kDirectWrite = 8192;
constexpr std::size_t kBatchBytes = 65536;

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint32_t clockSeed() {
    return static_cast<std::uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

// Consecutive writes of a pass, joined: the bytes and where they land are the same as block by
// block, in fewer system calls. What was written is noted in `written`, joined the same way.
class Batch {
public:
    Batch(platform::IWritableFile& file, std::vector<platform::ByteRange>& written) : m_file(file), m_written(written) {
        m_written.clear();
        m_bytes.reserve(kBatchBytes);
    }
    platform::Status put(std::uint64_t at, std::span<const std::byte> bytes) {
        if (!m_bytes.empty() && at != m_at + m_bytes.size())
            if (auto s = flush(); !s) return s;
        if (m_bytes.empty() && bytes.size() >= kDirectWrite) return write(at, bytes);
        if (m_bytes.empty()) m_at = at;
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
        return m_bytes.size() >= kBatchBytes ? flush() : platform::Status{};
    }
    platform::Status flush() {
        if (m_bytes.empty()) return {};
        auto s = write(m_at, m_bytes);
        m_bytes.clear();
        return s;
    }

private:
    platform::Status write(std::uint64_t at, std::span<const std::byte> bytes) {
        auto s = m_file.writeAt(at, bytes);
        if (!s) return s;
        if (!m_written.empty() && m_written.back().end() == at)
            m_written.back().length += bytes.size();
        else
            m_written.push_back({at, bytes.size()});
        return s;
    }

    platform::IWritableFile& m_file;
    std::vector<platform::ByteRange>& m_written;
    std::uint64_t m_at = 0;
    std::vector<std::byte> m_bytes;
};

// Writes `bytes`, meant for `at`, only where they meet the file's data, from range `r` on.
platform::Status putInData(Batch& batch, std::uint64_t at, std::span<const std::byte> bytes,
                           const std::vector<platform::ByteRange>& data, std::size_t r) {
    const std::uint64_t end = at + bytes.size();
    for (; r < data.size() && data[r].offset < end; ++r) {
        const std::uint64_t from = std::max(at, data[r].offset), to = std::min(end, data[r].end());
        if (to <= from) continue;
        if (auto s = batch.put(from,
                               bytes.subspan(static_cast<std::size_t>(from - at), static_cast<std::size_t>(to - from)));
            !s)
            return s;
    }
    return {};
}

// A write or flush that failed: a full disk is told apart, as it stops a folder run too.
ShredResult failedWrite(const platform::Error& e) {
    return {platform::isDiskFull(e) ? ShredStatus::DiskFull : ShredStatus::WriteFailed, e.message};
}

}  // namespace

cPattern::cPattern(platform::IFileService& files, platform::IRandomSource* random) : m_files(files), m_random(random) {}

BlockPlan cPattern::planFor(std::uint64_t length) {
    BlockPlan p;
    if (length == 0) return p;
    if (length < 8) {
        // Too short for eight blocks: one block of its own length.
        p.blockSize = length;
    } else if (length <= 1024) {
        std::uint64_t q = length / 8;
        const std::uint64_t r = length % 8;
        if (r > 4 || (r == 4 && q % 2 == 1)) ++q;  // an exact half goes to the even neighbour
        p.blockSize = q;
    } else if (length <= 8192) {
        p.blockSize = 128;
    } else if (length <= 65536) {
        p.blockSize = 1024;
    } else if (length <= 524288) {
        p.blockSize = 8192;
    } else if (length <= 4194304) {
        p.blockSize = 65536;
    } else {
        p.blockSize = 524288;
    }
    p.blocks = length / p.blockSize;
    p.remainder = length - p.blocks * p.blockSize;
    return p;
}

void cPattern::fill(std::byte* data, std::size_t size) {
    if (size == 0) return;
    if (m_random && m_random->fill(std::span<std::byte>(data, size)).ok()) return;
    // The system's source failed: a clock-seeded generator is better than no overwrite.
    std::mt19937 gen(clockSeed());
    std::uniform_int_distribution<int> byte(0, 254);
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::byte>(byte(gen));
}

void cPattern::pump(bool force) {
    if (!m_processEvents) return;
    const auto now = nowNs();
    if (!force && now - m_lastPumpNs < kPumpIntervalNs) return;
    m_lastPumpNs = now;
    m_processEvents();
}

bool cPattern::FileExists(const std::string& sDir) { return !m_files.shortForm(platform::pathFromUtf8(sDir)).empty(); }

ShredResult cPattern::DeleteFileByPattern() {
    namespace fs = std::filesystem;
    const fs::path p = platform::pathFromUtf8(m_sourceFile);
    if (p.filename().empty()) return {ShredStatus::NotRegularFile, {}};
    auto folder = m_files.openDirectory(p.parent_path());
    if (!folder) {
        auto st = m_files.status(p);
        if (st && st->type == platform::FileType::NotFound) return {ShredStatus::NotFound, {}};
        return {ShredStatus::OpenFailed, folder.error().message};
    }
    return shredIn(**folder, platform::utf8Of(p.filename()));
}

ShredResult cPattern::shredIn(platform::IDirectory& folder, const std::string& name,
                              const platform::FileStatus* listed) {
    m_sourceFile = platform::utf8Of(folder.path() / platform::pathFromUtf8(name));
    auto st = folder.statAt(name);
    if (!st) return {ShredStatus::OpenFailed, st.error().message};
    if (st->type == platform::FileType::NotFound) return {ShredStatus::NotFound, {}};
    if (st->type != platform::FileType::Regular) return {ShredStatus::NotRegularFile, {}};
    if (listed && st->identity() != listed->identity()) return {ShredStatus::Changed, {}};

    if (m_securePass == 0) m_securePass = 1;
    // A pass count below zero would remove the file without overwriting it.
    if (m_securePass < 0) {
        if (m_events) m_events->eSCompPMax(m_securePass);
        return {ShredStatus::NoPasses, {}};
    }

    auto layer = m_layerOf ? m_layerOf(folder, name) : platform::Result<platform::FileLayer>(platform::FileLayer::Own);
    if (!layer) return {ShredStatus::LayerUnknown, layer.error().message};
    if (*layer == platform::FileLayer::Lower) {
        // Not even made writable: changing its attributes would copy it up as well. Removing the
        // name only hides it; nothing of it is written anywhere.
        if (!NameWiper::refersTo(folder, name, *st)) return {ShredStatus::Changed, {}};
        if (auto s = folder.unlinkAt(name, false); !s) return {ShredStatus::NotHidden, s.error().message};
        (void)folder.flush();
        ShredResult hidden;
        hidden.storage.outcome = platform::OverwriteOutcome::MayRemain;
        hidden.storage.reason = platform::RemainReason::LowerLayer;
        return hidden;
    }

    if (m_attibs && st->readOnly) (void)folder.setWritableAt(name);  // the open below tells

    auto file = folder.openFile(name);
    if (!file) return {ShredStatus::OpenFailed, file.error().message};
    // What was opened is what the passes will hit: it must be the file looked at above, with no
    // names the user did not agree to, on the folder's own filesystem. An overlay gives the files
    // of each layer a device number of their own, unlike its folders.
    auto opened = (*file)->status();
    if (!opened) return {ShredStatus::OpenFailed, opened.error().message};
    auto here = folder.status();
    if (!here) return {ShredStatus::OpenFailed, here.error().message};
    const bool sameDevice = opened->device == here->device || *layer == platform::FileLayer::Upper;
    if (opened->type != platform::FileType::Regular || opened->identity() != st->identity() ||
        opened->hardLinks > std::max<std::uint64_t>(m_allowedNames, 1) || !sameDevice ||
        (opened->mountId != 0 && here->mountId != 0 && opened->mountId != here->mountId))
        return {ShredStatus::Changed, {}};

    const BlockPlan plan = planFor(opened->size);
    // Only where the file holds data: a sparse file's holes are never filled, so a huge sparse
    // file cannot take the disk's free space and its data far out is reached all the same.
    auto data = (*file)->dataRanges();
    if (!data) return {ShredStatus::OpenFailed, data.error().message};
    StorageNote storage;
    if (m_beforeFirstPass) m_beforeFirstPass(**file, storage);
    const auto allocatedBefore = (*file)->allocatedBytes();
    ShredResult written = overwrite(**file, plan, *data);
    if (written.ok()) written = overwriteGrowth(**file, opened->size);
    if (written.status == ShredStatus::DiskFull) giveBackTaken(**file, allocatedBefore ? *allocatedBefore : 0);
    if (!written.ok()) return written;
    if (m_afterLastPass) m_afterLastPass(**file, storage);
    // Cut it to nothing so no block of it stays allocated to a name, whatever happens to the
    // name from here on. No flush of its own: every pass is on the device already, and the
    // folder's flush after the new names carries the cut along on a journalling filesystem,
    // one commit less for each file of a folder.
    (void)(*file)->truncate(0);
    // The file stays open until its name is gone, so its inode cannot be reused by another
    // file meanwhile and the identity checks below stay meaningful.
    ShredResult removed = removeShredded(folder, name, *opened);
    removed.storage = storage;
    (void)(*file)->close();
    if (m_events) m_events->eSCompComplete();
    return removed;
}

ShredResult cPattern::overwrite(platform::IWritableFile& file, const BlockPlan& plan,
                                const std::vector<platform::ByteRange>& data) {
    const auto B = static_cast<std::size_t>(plan.blockSize);
    std::array<std::vector<std::byte>, 8> patterns;
    for (auto& p : patterns) {
        p.resize(B);
        fill(p.data(), p.size());
    }
    std::vector<std::byte> rest(static_cast<std::size_t>(plan.remainder));
    fill(rest.data(), rest.size());

    // Only a random order needs a generator: seeding one for each file of a large folder shows.
    std::optional<std::mt19937> order;
    if (m_assembly) order.emplace(clockSeed());
    std::uniform_int_distribution<int> anyPattern(1, 8);
    if (m_events) m_events->eSCompPMax(m_securePass);
    m_lastPumpNs = nowNs();
    // The pattern `blocks` blocks on, as if they had been written: each byte of a sparse file's
    // data gets what it would get were the holes written too.
    const auto skip = [&](int k, std::uint64_t blocks) {
        return m_assembly || blocks == 0 ? k : static_cast<int>((static_cast<std::uint64_t>(k) + blocks - 1) % 8) + 1;
    };

    int k = 0;  // carried across passes
    for (std::int32_t pass = 1; pass <= m_securePass; ++pass) {
        Batch batch(file, m_passWritten);
        std::size_t r = 0;  // the first data range not yet behind the block
        for (std::uint64_t j = 0; j < plan.blocks;) {
            const std::uint64_t start = j * plan.blockSize;
            while (r < data.size() && data[r].end() <= start) ++r;
            // A block wholly in a hole is not written: on to the block where data starts again.
            const std::uint64_t next =
                r < data.size() ? std::min(plan.blocks, data[r].offset / plan.blockSize) : plan.blocks;
            if (next > j) {
                k = skip(k, next - j);
                j = next;
                continue;
            }
            k = m_assembly ? anyPattern(*order) : nextCyclic(k);
            const auto& p = patterns[static_cast<std::size_t>(k - 1)];
            if (auto s = putInData(batch, start, p, data, r); !s) return failedWrite(s.error());
            ++j;
            pump(false);
        }
        if (!rest.empty()) {
            if (auto s = putInData(batch, plan.blocks * plan.blockSize, rest, data, r); !s)
                return failedWrite(s.error());
        }
        if (auto s = batch.flush(); !s) return failedWrite(s.error());
        if (auto s = file.flushToDevice(); !s) return failedWrite(s.error());
        if (m_events) m_events->eSCompPTick(pass);
        pump(true);
    }
    return {};
}

// Another program may append to the file while the passes run: what it added is overwritten
// as many times before the name goes, or the file is reported and left in place. Holes it left
// are skipped like those of the file as it was.
ShredResult cPattern::overwriteGrowth(platform::IWritableFile& file, std::uint64_t covered) {
    std::vector<std::byte> block;
    for (int round = 0; round <= kGrowthRounds; ++round) {
        auto now = file.status();
        if (!now) return {ShredStatus::WriteFailed, now.error().message};
        if (now->size <= covered) return {};
        if (round == kGrowthRounds) return {ShredStatus::KeptGrowing, {}};
        const std::uint64_t end = now->size;
        auto data = file.dataRanges();
        if (!data) return {ShredStatus::WriteFailed, data.error().message};
        for (std::int32_t pass = 1; pass <= m_securePass; ++pass) {
            Batch batch(file, m_passWritten);
            for (const auto& range : *data) {
                const std::uint64_t stop = std::min(end, range.end());
                for (std::uint64_t at = std::max(covered, range.offset); at < stop;) {
                    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kGrowthBlock, stop - at));
                    block.resize(n);
                    fill(block.data(), n);
                    if (auto s = batch.put(at, block); !s) return failedWrite(s.error());
                    at += n;
                    pump(false);
                }
            }
            if (auto s = batch.flush(); !s) return failedWrite(s.error());
            if (auto s = file.flushToDevice(); !s) return failedWrite(s.error());
        }
        covered = end;
    }
    return {};
}

// Writes confined to the data take no new storage, but where the system could not tell holes
// from data the passes may have filled some, and a full disk must not stay full because of this
// run. What this pass wrote is given back once it is on the device: it holds patterns only, so
// no old byte goes to free space with it. Without that flush nothing is given back.
void cPattern::giveBackTaken(platform::IWritableFile& file, std::uint64_t allocatedBefore) {
    // The flush also lets a copy-on-write filesystem take back the blocks the passes replaced.
    if (!file.flushToDevice()) return;
    auto now = file.allocatedBytes();
    if (!now || *now <= allocatedBefore) return;
    for (const auto& r : m_passWritten) (void)file.releaseRange(r.offset, r.length);
    (void)file.flushToDevice();
}

ShredResult cPattern::removeShredded(platform::IDirectory& folder, const std::string& name,
                                     const platform::FileStatus& shredded) {
    // A name that leads nowhere must not be said to lead to another file.
    const auto lost = [&](const std::string& n) -> ShredResult {
        auto now = folder.statAt(n);
        return {now && now->type == platform::FileType::NotFound ? ShredStatus::NameMoved : ShredStatus::NameReplaced};
    };
    if (!NameWiper::refersTo(folder, name, shredded)) return lost(name);
    const std::string current = NameWiper::wipe(folder, name, shredded);
    m_sourceFile = platform::utf8Of(folder.path() / platform::pathFromUtf8(current));
    if (!NameWiper::refersTo(folder, current, shredded)) return lost(current);
    if (auto s = folder.unlinkAt(current, false); s) {
        (void)folder.flush();
        return {};
    } else {
        const std::string why = s.error().message;
        if (m_files.removeAtNextStart(folder.path() / current)) return {ShredStatus::RemovalPending, why};
        return {ShredStatus::RemovalFailed, why};
    }
}

}  // namespace quenvor::shredder
