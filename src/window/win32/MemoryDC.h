#pragma once
// A memory device context like `like`'s (the screen's for none), deleted once.
#include <windows.h>

namespace quenvor::window::win32 {

class MemoryDC {
public:
    explicit MemoryDC(HDC like = nullptr) : m_dc(CreateCompatibleDC(like)) {}
    ~MemoryDC() {
        if (m_dc) DeleteDC(m_dc);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC get() const { return m_dc; }
    explicit operator bool() const { return m_dc != nullptr; }

private:
    HDC m_dc;
};

}  // namespace quenvor::window::win32
