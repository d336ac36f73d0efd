#pragma once
#include <cstdint>

namespace quenvor::shredder {

enum class WipeStep { Filling, Removing, Names, Discarding };

struct WipeProgress {
    std::uint64_t written = 0;
    std::uint64_t expected = 0;  // the free space there was to fill
    std::uint64_t bytesPerSecond = 0;
    std::int64_t secondsLeft = -1;  // -1: not known yet
};

// What a wipe of free space tells whoever drives it (the page, a console), synchronously while it
// runs: each step as it begins, progress a few times a second, and whether to stop.
class IWipeEvents {
public:
    virtual ~IWipeEvents() = default;
    virtual void wipeStep(WipeStep step) = 0;
    virtual void wipeProgress(const WipeProgress& p) = 0;
    // Asked between writes; true ends the fill, which is then removed.
    virtual bool wipeStopRequested() = 0;
};

}  // namespace quenvor::shredder
