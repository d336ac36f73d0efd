#include "platform/EmbeddedStringResource.h"

namespace quenvor::platform {

EmbeddedStringResource::EmbeddedStringResource() : m_blocks(embeddedStringBlocks()) {}

EmbeddedStringResource::EmbeddedStringResource(std::span<const EmbeddedStringBlock> blocks) : m_blocks(blocks) {}

std::optional<std::span<const std::byte>> EmbeddedStringResource::findBlock(int block, std::uint16_t language) {
    for (const auto& b : m_blocks) {
        if (b.language == language && b.block == block)
            return std::span<const std::byte>(reinterpret_cast<const std::byte*>(b.data), b.size);
    }
    return std::nullopt;
}

bool EmbeddedStringResource::hasLanguage(std::uint16_t language) {
    for (const auto& b : m_blocks)
        if (b.language == language) return true;
    return false;
}

}  // namespace quenvor::platform
