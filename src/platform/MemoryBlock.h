#pragma once
// A block of memory pinned in RAM (so it is never written to swap) and handed to system
// calls by address. Every copy is checked against the block's own size.
#include <cstddef>
#include <cstdint>
#include <string>

namespace quenvor::platform {

class MemoryBlock {
public:
    MemoryBlock() = default;
    ~MemoryBlock() { ReleaseMemory(); }
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;

    std::uintptr_t Handle() const { return reinterpret_cast<std::uintptr_t>(m_data); }
    std::size_t Size() const { return m_size; }
    std::byte* data() { return m_data; }

    // Releases any block held, then maps `count` readable, writable (never executable) bytes.
    void Allocate(std::size_t count);
    // Copies `length` bytes from the start of the block to `destination`.
    bool ReadFrom(void* destination, std::size_t length) const;
    // Copies `length` bytes from `source` to the start of the block.
    bool WriteTo(const void* source, std::size_t length);
    // The zero-terminated string at `start`, at most `maxLength` bytes, when `start` lies
    // inside the block; the empty string otherwise.
    std::string ExtractString(std::uintptr_t start, std::size_t maxLength) const;
    void ReleaseMemory();

private:
    std::byte* m_data = nullptr;
    std::size_t m_size = 0;
    bool m_locked = false;
};

}  // namespace quenvor::platform
