#pragma once
// An owned Win32 handle, closed once.
#include <windows.h>

#include <utility>

namespace quenvor::platform::windows {

class WindowsHandle {
public:
    WindowsHandle() = default;
    explicit WindowsHandle(HANDLE h) : m_h(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~WindowsHandle() { reset(); }
    WindowsHandle(WindowsHandle&& o) noexcept : m_h(std::exchange(o.m_h, nullptr)) {}
    WindowsHandle& operator=(WindowsHandle&& o) noexcept {
        if (this != &o) {
            reset();
            m_h = std::exchange(o.m_h, nullptr);
        }
        return *this;
    }
    WindowsHandle(const WindowsHandle&) = delete;
    WindowsHandle& operator=(const WindowsHandle&) = delete;

    HANDLE get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    // Closes now; false (with the last error set) when the system reports a failure.
    bool reset() {
        const HANDLE h = std::exchange(m_h, nullptr);
        return !h || CloseHandle(h);
    }

private:
    HANDLE m_h = nullptr;
};

}  // namespace quenvor::platform::windows
