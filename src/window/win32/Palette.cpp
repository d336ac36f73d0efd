#include "window/win32/Palette.h"

#include <algorithm>
#include <cmath>

namespace quenvor::window::win32 {
namespace {

COLORREF mix(COLORREF a, COLORREF b, int alpha) {  // b over a, alpha of 255
    auto c = [&](int x, int y) { return (x * (255 - alpha) + y * alpha) / 255; };
    return RGB(c(GetRValue(a), GetRValue(b)), c(GetGValue(a), GetGValue(b)), c(GetBValue(a), GetBValue(b)));
}

double luminance(COLORREF c) {
    const auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(c)) + 0.7152 * channel(GetGValue(c)) + 0.0722 * channel(GetBValue(c));
}

std::optional<bool> forced;

}  // namespace

void Palette::force(std::optional<bool> highContrast) { forced = highContrast; }

Palette Palette::current() {
    if (forced) return of(*forced);
    HIGHCONTRASTW hc{};
    hc.cbSize = sizeof hc;
    const bool on = SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) && (hc.dwFlags & HCF_HIGHCONTRASTON);
    return of(on);
}

Palette Palette::of(bool highContrast) {
    Palette p{};
    p.highContrast = highContrast;
    if (highContrast) {
        // Flat areas of the scheme's window colour with its text colour on and around them.
        const COLORREF window = GetSysColor(COLOR_WINDOW), text = GetSysColor(COLOR_WINDOWTEXT);
        p.page = p.box = p.bandFrom = p.bandTo = p.bandFill = p.tabFrom = p.tabTo = p.currentFrom = p.currentTo =
            window;
        p.text = p.greyText = p.bandText = p.bandLine = p.rule = p.tabLine = p.currentLine = text;
        p.accent = GetSysColor(COLOR_HIGHLIGHT);
        return p;
    }
    constexpr COLORREF accent = RGB(32, 96, 140), accentDark = RGB(18, 58, 92), white = RGB(255, 255, 255);
    p.page = RGB(246, 248, 251);
    p.text = RGB(0, 0, 0);
    p.greyText = RGB(64, 64, 64);
    p.box = white;
    p.bandFrom = accent;
    p.bandTo = accentDark;
    p.bandText = white;
    const COLORREF under = mix(accent, accentDark, 70);
    p.bandLine = mix(under, white, 220);
    p.bandFill = mix(under, white, 40);
    p.rule = RGB(200, 210, 222);
    p.accent = accent;
    p.tabFrom = RGB(226, 233, 240);
    p.tabTo = RGB(196, 208, 220);
    p.tabLine = RGB(150, 165, 180);
    p.currentFrom = white;
    p.currentTo = p.page;
    p.currentLine = accent;
    return p;
}

double Palette::contrast(COLORREF a, COLORREF b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace quenvor::window::win32
