#pragma once
// An object selected into a device context while this lives; the one it replaced is put back
// after, so the object can then be deleted and the context handed back as it was.
#include <windows.h>

namespace quenvor::window::win32 {

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : m_dc(dc), m_old(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (m_old && m_old != HGDI_ERROR) SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace quenvor::window::win32
