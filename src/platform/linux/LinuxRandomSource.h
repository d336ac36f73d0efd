#pragma once
#include "platform/IRandomSource.h"

namespace quenvor::platform {

// getrandom(2): the kernel's cryptographic generator.
class LinuxRandomSource : public IRandomSource {
public:
    Status fill(std::span<std::byte> out) override;
};

}  // namespace quenvor::platform
