#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace quenvor::platform {

// String-table blocks of 16 length-prefixed UTF-16LE records, stored per language id.
class IStringResource {
public:
    virtual ~IStringResource() = default;
    // The block with this number (1-based) under exactly this language, if present.
    virtual std::optional<std::span<const std::byte>> findBlock(int block, std::uint16_t language) = 0;
    virtual bool hasLanguage(std::uint16_t language) = 0;
};

}  // namespace quenvor::platform
