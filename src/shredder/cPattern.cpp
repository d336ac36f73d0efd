#include "shredder/cPattern.h"

#include <array>
#include <chrono>
#include <random>
#include <vector>

#include "platform/IFileService.h"
#include "platform/IRandomSource.h"

namespace quenvor::shredder {
namespace {

constexpr std::int64_t kPumpIntervalNs = 200'000'000;

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

bool cPattern::FileExists(const std::string& sDir) { return !m_files.shortForm(sDir).empty(); }

ShredResult cPattern::DeleteFileByPattern() {
    auto st = m_files.status(m_sourceFile);
    if (!st) return {ShredStatus::OpenFailed, st.error().message};
    if (st->type == platform::FileType::NotFound) return {ShredStatus::NotFound, {}};
    if (st->type != platform::FileType::Regular) return {ShredStatus::NotRegularFile, {}};

    if (m_attibs && st->readOnly) (void)m_files.setWritable(m_sourceFile);  // the open below tells
    const BlockPlan plan = planFor(st->size);

    if (m_securePass == 0) m_securePass = 1;
    // A pass count below zero would remove the file without overwriting it.
    if (m_securePass < 0) {
        if (m_events) m_events->eSCompPMax(m_securePass);
        return {ShredStatus::NoPasses, {}};
    }

    ShredResult written = overwrite(plan);
    if (!written.ok()) return written;
    ShredResult removed = removeShredded();
    if (m_events) m_events->eSCompComplete();
    return removed;
}

ShredResult cPattern::overwrite(const BlockPlan& plan) {
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
        auto file = m_files.openInPlace(m_sourceFile);
        if (!file) return {ShredStatus::OpenFailed, file.error().message};
        for (std::uint64_t j = 0; j < plan.blocks; ++j) {
            k = m_assembly ? anyPattern(order) : nextCyclic(k);
            const auto& p = patterns[static_cast<std::size_t>(k - 1)];
            if (auto s = (*file)->writeAt(j * plan.blockSize, p); !s)
                return {ShredStatus::WriteFailed, s.error().message};
            pump(false);
        }
        if (!rest.empty()) {
            if (auto s = (*file)->writeAt(plan.blocks * plan.blockSize, rest); !s)
                return {ShredStatus::WriteFailed, s.error().message};
        }
        if (auto s = (*file)->flushToDevice(); !s) return {ShredStatus::WriteFailed, s.error().message};
        if (auto s = (*file)->close(); !s) return {ShredStatus::WriteFailed, s.error().message};
        if (m_events) m_events->eSCompPTick(pass);
        pump(true);
    }
    return {};
}

ShredResult cPattern::removeShredded() {
    namespace fs = std::filesystem;
    const fs::path original(m_sourceFile);
    const fs::path dir = original.parent_path();
    fs::path current = original;

    // Give it a random name of the same length first, so the old name does not linger in the
    // folder's entries; then cut it to nothing so no block of it stays allocated.
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    const std::size_t nameLength = original.filename().string().size();
    std::mt19937 gen(clockSeed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
    for (int attempt = 0; attempt < 8 && nameLength > 0; ++attempt) {
        std::string name(nameLength, 'x');
        for (auto& c : name) c = kChars[pick(gen)];
        const fs::path candidate = dir / name;
        if (candidate == original) continue;
        if (m_files.rename(original, candidate)) {
            current = candidate;
            (void)m_files.flushDirectory(dir.empty() ? fs::path(".") : dir);
            break;
        }
    }
    if (auto file = m_files.openInPlace(current)) {
        (void)(*file)->truncate(0);
        (void)(*file)->flushToDevice();
        (void)(*file)->close();
    }
    if (auto s = m_files.remove(current); s) {
        (void)m_files.flushDirectory(dir.empty() ? fs::path(".") : dir);
        return {};
    } else {
        const std::string why = s.error().message;
        m_sourceFile = current.string();
        if (m_files.removeAtNextStart(current)) return {ShredStatus::RemovalPending, why};
        return {ShredStatus::RemovalFailed, why};
    }
}

}  // namespace quenvor::shredder
