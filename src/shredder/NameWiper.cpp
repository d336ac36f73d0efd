#include "shredder/NameWiper.h"

#include <chrono>
#include <random>

#include "platform/IFileService.h"

namespace quenvor::shredder {
namespace {

constexpr int kAttemptsPerLength = 8;

std::string randomName(std::size_t length, std::mt19937& gen) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(kChars) - 2);
    std::string name(length, 'x');
    for (auto& c : name) c = kChars[pick(gen)];
    return name;
}

}  // namespace

bool NameWiper::refersTo(platform::IDirectory& folder, const std::string& name, const platform::FileStatus& entry) {
    auto now = folder.statAt(name);
    return now && now->type == entry.type && now->identity() == entry.identity();
}

std::string NameWiper::wipe(platform::IDirectory& folder, const std::string& name, const platform::FileStatus& entry) {
    std::mt19937 gen(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    std::string current = name;
    // Same length first, so the old name is overwritten where the folder keeps it; the shorter
    // steps leave no tail of it behind in entries that shrink in place.
    for (std::size_t length = name.size(); length > 0; --length) {
        if (!refersTo(folder, current, entry)) break;
        for (int attempt = 0; attempt < kAttemptsPerLength; ++attempt) {
            const std::string candidate = randomName(length, gen);
            if (candidate == current) continue;
            if (folder.renameAt(current, candidate)) {
                current = candidate;
                break;
            }
        }
    }
    (void)folder.flush();
    return current;
}

}  // namespace quenvor::shredder
