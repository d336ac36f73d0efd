#pragma once
// A movable block of memory identified by a handle, which can be locked to an address and
// whose ownership can be handed over with the handle.
#include <cstddef>
#include <cstdint>

namespace quenvor::platform {

constexpr std::uint32_t kGmemZeroInit = 0x40;

class cMemory {
public:
    cMemory() = default;
    ~cMemory() { FreeMemory(); }
    cMemory(const cMemory&) = delete;
    cMemory& operator=(const cMemory&) = delete;

    std::uintptr_t Handle() const { return m_handle; }
    void setHandle(std::uintptr_t handle);  // frees the block held, then owns `handle`
    void* Pointer();                        // locks first when needed; null without a block
    std::size_t Size() const;
    bool AllocateMemory(std::size_t size, std::uint32_t flags);
    bool LockMemory();
    void UnlockMemory() { m_pointer = nullptr; }
    void FreeMemory();
    void ReleaseDontFreeMemory();

    // For whoever received a handle passed on by ReleaseDontFreeMemory.
    static void FreeHandle(std::uintptr_t handle);

private:
    std::uintptr_t m_handle = 0;
    void* m_pointer = nullptr;
};

}  // namespace quenvor::platform
