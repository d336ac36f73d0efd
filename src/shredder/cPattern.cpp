#include "shredder/cPattern.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <random>
#include <vector>

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

std::int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint32_t clockSeed() {
    return static_cast<std::uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
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
    StorageNote storage;
    if (m_beforeFirstPass) m_beforeFirstPass(**file, storage);
    ShredResult written = overwrite(**file, plan);
    if (!written.ok()) return written;
    written = overwriteGrowth(**file, opened->size);
    if (!written.ok()) return written;
    if (m_afterLastPass) m_afterLastPass(**file, storage);
    // Cut it to nothing so no block of it stays allocated to a name, whatever happens to the
    // name from here on.
    (void)(*file)->truncate(0);
    (void)(*file)->flushToDevice();
    // The file stays open until its name is gone, so its inode cannot be reused by another
    // file meanwhile and the identity checks below stay meaningful.
    ShredResult removed = removeShredded(folder, name, *opened);
    removed.storage = storage;
    (void)(*file)->close();
    if (m_events) m_events->eSCompComplete();
    return removed;
}

ShredResult cPattern::overwrite(platform::IWritableFile& file, const BlockPlan& plan) {
    const auto B = static_cast<std::size_t>(plan.blockSize);
    std::array<std::vector<std::byte>, 8> patterns;
    for (auto& p : patterns) {
        p.resize(B);
        fill(p.data(), p.size());
    }
    std::vector<std::byte> rest(static_cast<std::size_t>(plan.remainder));
    fill(rest.data(), rest.size());

    std::mt19937 order(clockSeed());
    std::uniform_int_distribution<int> anyPattern(1, 8);
    if (m_events) m_events->eSCompPMax(m_securePass);
    m_lastPumpNs = nowNs();

    int k = 0;  // carried across passes
    for (std::int32_t pass = 1; pass <= m_securePass; ++pass) {
        for (std::uint64_t j = 0; j < plan.blocks; ++j) {
            k = m_assembly ? anyPattern(order) : nextCyclic(k);
            const auto& p = patterns[static_cast<std::size_t>(k - 1)];
            if (auto s = file.writeAt(j * plan.blockSize, p); !s) return {ShredStatus::WriteFailed, s.error().message};
            pump(false);
        }
        if (!rest.empty()) {
            if (auto s = file.writeAt(plan.blocks * plan.blockSize, rest); !s)
                return {ShredStatus::WriteFailed, s.error().message};
        }
        if (auto s = file.flushToDevice(); !s) return {ShredStatus::WriteFailed, s.error().message};
        if (m_events) m_events->eSCompPTick(pass);
        pump(true);
    }
    return {};
}

// Another program may append to the file while the passes run: what it added is overwritten
// as many times before the name goes, or the file is reported and left in place.
ShredResult cPattern::overwriteGrowth(platform::IWritableFile& file, std::uint64_t covered) {
    std::vector<std::byte> block;
    for (int round = 0; round <= kGrowthRounds; ++round) {
        auto now = file.status();
        if (!now) return {ShredStatus::WriteFailed, now.error().message};
        if (now->size <= covered) return {};
        if (round == kGrowthRounds) return {ShredStatus::KeptGrowing, {}};
        const std::uint64_t end = now->size;
        for (std::int32_t pass = 1; pass <= m_securePass; ++pass) {
            for (std::uint64_t at = covered; at < end;) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kGrowthBlock, end - at));
                block.resize(n);
                fill(block.data(), n);
                if (auto s = file.writeAt(at, block); !s) return {ShredStatus::WriteFailed, s.error().message};
                at += n;
                pump(false);
            }
            if (auto s = file.flushToDevice(); !s) return {ShredStatus::WriteFailed, s.error().message};
        }
        covered = end;
    }
    return {};
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
