#include "platform/MemoryBlock.h"

#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace quenvor::platform {

void MemoryBlock::Allocate(std::size_t count) {
    ReleaseMemory();
    if (count == 0) return;
#ifdef _WIN32
    void* p = VirtualAlloc(nullptr, count, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!p) return;
    m_locked = VirtualLock(p, count) != 0;
#else
    void* p = ::mmap(nullptr, count, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return;
    // Pinning can fail under a low RLIMIT_MEMLOCK; the block is still usable.
    m_locked = ::mlock(p, count) == 0;
#endif
    m_data = static_cast<std::byte*>(p);
    m_size = count;
}

bool MemoryBlock::ReadFrom(void* destination, std::size_t length) const {
    if (!m_data || !destination || length > m_size) return false;
    std::memcpy(destination, m_data, length);
    return true;
}

bool MemoryBlock::WriteTo(const void* source, std::size_t length) {
    if (!m_data || !source || length > m_size) return false;
    std::memcpy(m_data, source, length);
    return true;
}

std::string MemoryBlock::ExtractString(std::uintptr_t start, std::size_t maxLength) const {
    const auto base = reinterpret_cast<std::uintptr_t>(m_data);
    if (!m_data || start < base || start >= base + m_size) return {};
    const auto* p = reinterpret_cast<const char*>(start);
    const std::size_t room = base + m_size - start;
    const std::size_t limit = maxLength < room ? maxLength : room;
    std::size_t n = 0;
    while (n < limit && p[n] != '\0') ++n;
    return std::string(p, n);
}

void MemoryBlock::ReleaseMemory() {
    if (!m_data) return;
    // What the system wrote here may be private: clear it before giving it back.
    volatile std::byte* v = m_data;
    for (std::size_t i = 0; i < m_size; ++i) v[i] = std::byte{0};
#ifdef _WIN32
    if (m_locked) VirtualUnlock(m_data, m_size);
    VirtualFree(m_data, 0, MEM_RELEASE);
#else
    if (m_locked) ::munlock(m_data, m_size);
    ::munmap(m_data, m_size);
#endif
    m_data = nullptr;
    m_size = 0;
    m_locked = false;
}

}  // namespace quenvor::platform
