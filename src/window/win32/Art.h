#pragma once
// Everything the window draws itself, with GDI, in the same colours and shapes as the Qt
// layer's (in the system's colours under high contrast, see Palette): the page, the side band with its logo, the tab
// strips, the captions and the items of the pick-only lists. Sizes are 96-dpi pixels scaled by `dpi`.
#include <windows.h>

#include <functional>
#include <string>

#include "window/win32/NativeControl.h"

namespace quenvor::window::win32 {

struct Art {
    static constexpr int kStripsHeight = 54;    // the band starts below the tab strips
    static constexpr int kSideBandWidth = 124;  // clear of the page's controls

    // The page under every control: its colour, the side band, the rule under the title.
    static void paintPage(HDC dc, SIZE client, int dpi, HFONT logoFont);
    // Strip `current` (0-based) of `size`, over the page already drawn.
    static void paintStrip(HDC dc, int current, SIZE size, int dpi);

    // Tab `tab`'s place on strip `strip` (both 0-based), in the strip's pixels.
    static RECT tabRect(int strip, int tab, int dpi);

    // A WM_PAINT answered through a bitmap of the client area, copied on screen in one go, so
    // nothing flickers while the layers are drawn over each other.
    static void paintBuffered(HWND hwnd, const std::function<void(HDC)>& paint);
    // A picture box, image or caption: what lies under it, then itself (nothing relies on
    // transparent windows). `font` is the caption's.
    static void paintControl(const NativeControl& c, HDC dc, HFONT font, int dpi);
    // A one-line caption as drawn, shortened in the middle when it does not fit.
    static std::wstring elided(const NativeControl& c, HDC dc, HFONT font);
    // An item of a pick-only list, or the list's word (its placeholder) while nothing is
    // picked, which a plain drop-down list cannot show in the colour of its items.
    static void paintChoice(const DRAWITEMSTRUCT& item, const NativeControl& c, HFONT font, int dpi);
};

}  // namespace quenvor::window::win32
