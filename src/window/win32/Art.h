#pragma once
// The window's artwork drawn with GDI, in the same colours and shapes as the Qt layer's: the
// page, the side band with its logo, and the tab strips. Sizes are 96-dpi pixels scaled by
// `dpi`.
#include <windows.h>

namespace quenvor::window::win32 {

struct Art {
    static constexpr COLORREF kAccent = RGB(32, 96, 140);
    static constexpr COLORREF kAccentDark = RGB(18, 58, 92);
    static constexpr COLORREF kPage = RGB(246, 248, 251);
    static constexpr COLORREF kDarkGrey = RGB(64, 64, 64);
    static constexpr int kStripsHeight = 54;    // the band starts below the tab strips
    static constexpr int kSideBandWidth = 124;  // clear of the page's controls

    // The page under every control: its colour, the side band, the rule under the title.
    static void paintPage(HDC dc, SIZE client, int dpi, HFONT logoFont);
    // Strip `current` (0-based) of `size`, over the page already drawn.
    static void paintStrip(HDC dc, int current, SIZE size, int dpi);
};

}  // namespace quenvor::window::win32
