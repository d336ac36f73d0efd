#pragma once
#include <cstdint>

namespace quenvor::shredder {

// Progress of one shred, delivered synchronously while the engine runs.
class IShredEvents {
public:
    virtual ~IShredEvents() = default;
    virtual void eSCompPMax(std::int32_t lmax) = 0;   // passes about to run
    virtual void eSCompPTick(std::int32_t lCnt) = 0;  // pass lCnt is on the device
    virtual void eSCompComplete() = 0;                // overwritten and removed (or queued)
};

}  // namespace quenvor::shredder
