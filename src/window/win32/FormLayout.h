#pragma once
// Where each control stands and how large it is: the form design (twips) at the window's dots
// per inch, captions sized to their text measured in the font they are drawn in.
#include <windows.h>

#include "window/win32/Fonts.h"
#include "window/win32/NativeControl.h"

namespace quenvor::window::win32 {

class FormLayout {
public:
    static constexpr int kListFieldHeight = 15;  // 96-dpi pixels: the closed lists stand 21 pixels high

    static int px(int twips) { return (twips + ui::kTwipsPerPixel / 2) / ui::kTwipsPerPixel; }

    int dpi() const { return m_dpi; }
    void setDpi(int dpi) { m_dpi = dpi; }
    // Fonts do not grow in step with the dots per inch (Tahoma at 150 % wraps a paragraph onto
    // more lines), so the page below the title rule is stretched downwards by this factor until
    // every paragraph fits: gaps, lists and paragraphs grow, buttons keep their height.
    double stretch() const { return m_stretch; }
    void setStretch(double stretch) { m_stretch = stretch; }
    // The stretch `c`'s text needs to fit, measured in its font: 1 for all but the paragraphs.
    double stretchFor(const NativeControl& c);
    // The window's client area at this scale and stretch.
    SIZE clientSize() const;
    int scale(int pixels) const { return MulDiv(pixels, m_dpi, 96); }
    HFONT font(const NativeControl& c) { return m_fonts.control(*c.layout, c.bold, m_dpi); }
    HFONT logoFont() { return m_fonts.logo(m_dpi); }

    // The control's font, place and size, then a repaint.
    void place(NativeControl& c);

private:
    void clearButtons(const NativeControl& box);
    int top(const ui::ControlSpec& s) const;
    int height(const ui::ControlSpec& s) const;
    int labelWidth(const NativeControl& c);

    int m_dpi = 96;
    double m_stretch = 1.0;
    Fonts m_fonts;
};

}  // namespace quenvor::window::win32
