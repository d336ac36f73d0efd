#pragma once
// An owned GDI object (font, brush, pen, bitmap or region), deleted once, as WindowsHandle
// does for kernel handles. Whoever selects it into a device context puts the previous object
// back before this goes (SelectedObject): a selected object cannot be deleted.
#include <windows.h>

#include <utility>

namespace quenvor::window::win32 {

template <class Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle h) : m_h(h) {}
    ~GdiObject() { reset(); }
    GdiObject(GdiObject&& o) noexcept : m_h(std::exchange(o.m_h, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) reset(std::exchange(o.m_h, nullptr));
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return m_h; }
    explicit operator bool() const { return m_h != nullptr; }
    // For a taker that owns it from then on, as a window does the region it is given.
    Handle release() { return std::exchange(m_h, nullptr); }
    void reset(Handle h = nullptr) {
        if (m_h) DeleteObject(m_h);
        m_h = h;
    }

private:
    Handle m_h = nullptr;
};

}  // namespace quenvor::window::win32
