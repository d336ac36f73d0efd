#include "platform/cMemory.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace quenvor::platform {
namespace {

struct Block {
    std::size_t size;
    unsigned char* bytes;
};

Block* block(std::uintptr_t h) { return reinterpret_cast<Block*>(h); }

}  // namespace

void cMemory::setHandle(std::uintptr_t handle) {
    FreeMemory();
    m_handle = handle;
}

void* cMemory::Pointer() {
    if (!m_handle) return nullptr;
    if (!m_pointer) LockMemory();
    return m_pointer;
}

std::size_t cMemory::Size() const { return m_handle ? block(m_handle)->size : 0; }

bool cMemory::AllocateMemory(std::size_t size, std::uint32_t flags) {
    FreeMemory();
    auto* b = new (std::nothrow) Block{size, nullptr};
    if (!b) return false;
    b->bytes = static_cast<unsigned char*>((flags & kGmemZeroInit) ? std::calloc(size ? size : 1, 1)
                                                                   : std::malloc(size ? size : 1));
    if (!b->bytes) {
        delete b;
        return false;
    }
    m_handle = reinterpret_cast<std::uintptr_t>(b);
    return true;
}

bool cMemory::LockMemory() {
    if (!m_handle || m_pointer) return false;
    m_pointer = block(m_handle)->bytes;
    return m_pointer != nullptr;
}

void cMemory::FreeMemory() {
    if (!m_handle) return;
    UnlockMemory();
    FreeHandle(m_handle);
    m_handle = 0;
}

void cMemory::ReleaseDontFreeMemory() {
    UnlockMemory();
    m_handle = 0;
}

void cMemory::FreeHandle(std::uintptr_t handle) {
    if (!handle) return;
    Block* b = block(handle);
    std::free(b->bytes);
    delete b;
}

}  // namespace quenvor::platform
