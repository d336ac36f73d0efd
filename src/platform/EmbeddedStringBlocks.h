#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

namespace quenvor::platform {

struct EmbeddedStringBlock {
    std::uint16_t language;
    std::uint16_t block;
    const unsigned char* data;
    std::size_t size;
};

// Generated at build time from resources/strings.txt.
std::span<const EmbeddedStringBlock> embeddedStringBlocks();

}  // namespace quenvor::platform
