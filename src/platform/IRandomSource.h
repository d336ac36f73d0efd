#pragma once
#include <cstddef>
#include <span>

#include "platform/Result.h"

namespace quenvor::platform {

// The system's cryptographic random source.
class IRandomSource {
public:
    virtual ~IRandomSource() = default;
    virtual Status fill(std::span<std::byte> out) = 0;
};

}  // namespace quenvor::platform
