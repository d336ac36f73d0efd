#pragma once
#include "platform/Result.h"

namespace quenvor::platform {

// The system-wide list of visited addresses, where the system keeps one.
class IUrlHistory {
public:
    virtual ~IUrlHistory() = default;
    virtual Status clearHistory() = 0;
};

}  // namespace quenvor::platform
