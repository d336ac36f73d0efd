#pragma once
// The window's fonts: each face, size and weight made once, deleted with the window.
#include <windows.h>

#include <map>
#include <string>

#include "ui/FormDesign.h"
#include "window/win32/GdiObject.h"

namespace quenvor::window::win32 {

class Fonts {
public:
    Fonts();

    // A control's font at `dpi`; Tahoma falls back to Segoe UI where it is not installed.
    HFONT control(const ui::ControlSpec& layout, bool bold, int dpi);
    // The program's name in the side band.
    HFONT logo(int dpi);

private:
    HFONT make(const wchar_t* face, int height, bool bold, const std::string& key);

    bool m_tahoma = true;
    std::map<std::string, GdiObject<HFONT>> m_fonts;
};

}  // namespace quenvor::window::win32
