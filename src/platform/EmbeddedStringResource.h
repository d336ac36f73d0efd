#pragma once
#include <span>

#include "platform/EmbeddedStringBlocks.h"
#include "platform/IStringResource.h"

namespace quenvor::platform {

// The string table compiled into the executable (the same on every system).
class EmbeddedStringResource : public IStringResource {
public:
    EmbeddedStringResource();
    explicit EmbeddedStringResource(std::span<const EmbeddedStringBlock> blocks);
    std::optional<std::span<const std::byte>> findBlock(int block, std::uint16_t language) override;
    bool hasLanguage(std::uint16_t language) override;

private:
    std::span<const EmbeddedStringBlock> m_blocks;
};

}  // namespace quenvor::platform
