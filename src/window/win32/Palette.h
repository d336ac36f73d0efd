#pragma once
// The colours the window paints itself in: its own artwork normally, the system's colours when
// Windows is set to high contrast, so every text stays as readable as the user's scheme makes it.
#include <windows.h>

#include <optional>

namespace quenvor::window::win32 {

struct Palette {
    bool highContrast = false;
    COLORREF page, text, greyText, box;  // the page, its captions, the paragraphs, the settings box
    COLORREF bandFrom, bandTo, bandText, bandLine, bandFill;  // the side band, its name and shield
    COLORREF rule;                                            // under the page title
    COLORREF accent;                                          // the strip's base and the current tab's mark
    COLORREF tabFrom, tabTo, tabLine;                         // the other tabs
    COLORREF currentFrom, currentTo, currentLine;             // the current tab

    // As Windows is set now (SPI_GETHIGHCONTRAST), unless forced.
    static Palette current();
    // Decides high contrast in place of the system setting (nullopt: the system's again), for
    // the tests of a system that cannot turn it on, such as Wine.
    static void force(std::optional<bool> highContrast);
    static Palette of(bool highContrast);
    // The contrast ratio of two colours, 1 to 21, as the web's accessibility guidelines define it.
    static double contrast(COLORREF a, COLORREF b);
};

}  // namespace quenvor::window::win32
