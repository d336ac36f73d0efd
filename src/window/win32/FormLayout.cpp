#include "window/win32/FormLayout.h"

#include <algorithm>

#include "window/win32/GdiObject.h"
#include "window/win32/SelectedObject.h"

namespace quenvor::window::win32 {
namespace {

// The text's extent in the control's font: `r` gives the width to wrap at (with DT_WORDBREAK).
RECT measured(HWND hwnd, HFONT font, const std::wstring& text, RECT r, UINT flags) {
    HDC dc = GetDC(hwnd);
    {
        const SelectedObject inFont(dc, font);
        DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | flags);
    }
    ReleaseDC(hwnd, dc);
    return r;
}

// The title and its rule stay where the design has them; the stretch starts under the rule.
constexpr int kStretchFromTwips = 1350;

bool isParagraph(const ui::ControlSpec& s) {
    return s.kind == ui::ControlKind::Label && s.parent.empty() && !s.autoSize && !s.elideMiddle;
}

}  // namespace

int FormLayout::top(const ui::ControlSpec& s) const {
    const int designed = scale(px(s.top));
    if (!s.parent.empty() || s.top < kStretchFromTwips) return designed;
    const int from = scale(px(kStretchFromTwips));
    return from + static_cast<int>((designed - from) * m_stretch + 0.5);
}

int FormLayout::height(const ui::ControlSpec& s) const {
    const int designed = scale(px(s.height));
    const bool grows =
        s.parent.empty() && s.top >= kStretchFromTwips && (isParagraph(s) || s.kind == ui::ControlKind::ListBox);
    return grows ? static_cast<int>(designed * m_stretch + 0.999) : designed;
}

// A caption too tall for its box at the design width takes the widest width allowed.
int FormLayout::labelWidth(const NativeControl& c) {
    const auto& s = *c.layout;
    const int w = scale(px(s.width));
    if (s.widestWidth <= s.width) return w;
    const RECT r = measured(c.hwnd, font(c), c.text(), {0, 0, w, 0}, DT_WORDBREAK);
    return r.bottom > scale(px(s.height)) ? scale(px(s.widestWidth)) : w;
}

double FormLayout::stretchFor(const NativeControl& c) {
    const auto& s = *c.layout;
    const int designed = scale(px(s.height));
    if (!isParagraph(s) || designed <= 0 || s.top < kStretchFromTwips) return 1.0;
    const RECT r = measured(c.hwnd, font(c), c.text(), {0, 0, labelWidth(c), 0}, DT_WORDBREAK);
    return std::max(1.0, static_cast<double>(r.bottom) / designed);
}

SIZE FormLayout::clientSize() const {
    ui::ControlSpec whole;
    whole.top = ui::kClientHeightTwips;
    return {scale(px(ui::kClientWidthTwips)), top(whole)};
}

void FormLayout::place(NativeControl& c) {
    const auto& s = *c.layout;
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(c)), FALSE);
    int w = scale(px(s.width)), h = height(s);
    if (s.autoSize) {
        const std::wstring text = c.text();
        const RECT r = measured(c.hwnd, font(c), text.empty() ? L" " : text, {0, 0, 0, 0}, 0);
        w = r.right;
        h = r.bottom;
    } else if (s.kind == ui::ControlKind::Label) {
        // Never shorter than its text: a line one pixel taller than the design's box grows it.
        w = labelWidth(c);
        const RECT r = measured(c.hwnd, font(c), c.text(), {0, 0, w, 0}, s.elideMiddle ? DT_SINGLELINE : DT_WORDBREAK);
        h = std::max<int>(h, r.bottom);
    }
    if (s.kind == ui::ControlKind::ComboBox) {
        SendMessageW(c.hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scale(kListFieldHeight));
        SendMessageW(c.hwnd, CB_SETITEMHEIGHT, 0, scale(kListFieldHeight - 1));
        h = scale(160);  // the dropped list; the field keeps its own height
    }
    SetWindowPos(c.hwnd, nullptr, scale(px(s.left)), top(s), w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    if (s.name == "pSettings") clearButtons(c);
    InvalidateRect(c.hwnd, nullptr, TRUE);
}

// The dialog keys put the settings box above the window's buttons in z-order, and its foot
// reaches under Help: the box leaves out whatever of a button it covers, as the design draws it.
void FormLayout::clearButtons(const NativeControl& box) {
    RECT boxRect{scale(px(box.layout->left)), top(*box.layout), 0, 0};
    boxRect.right = boxRect.left + scale(px(box.layout->width));
    boxRect.bottom = boxRect.top + height(*box.layout);
    GdiObject<HRGN> shape(CreateRectRgn(0, 0, boxRect.right - boxRect.left, boxRect.bottom - boxRect.top));
    for (const auto& layout : ui::FormDesign::controls()) {
        if (layout.kind != ui::ControlKind::Button || !layout.parent.empty()) continue;
        RECT button{scale(px(layout.left)), top(layout), 0, 0};
        button.right = button.left + scale(px(layout.width));
        button.bottom = button.top + height(layout);
        RECT overlap;
        if (!IntersectRect(&overlap, &boxRect, &button)) continue;
        OffsetRect(&overlap, -boxRect.left, -boxRect.top);
        const GdiObject<HRGN> hole(CreateRectRgnIndirect(&overlap));
        CombineRgn(shape.get(), shape.get(), hole.get(), RGN_DIFF);
    }
    // The window owns the region once it has taken it.
    if (SetWindowRgn(box.hwnd, shape.get(), TRUE)) shape.release();
}

}  // namespace quenvor::window::win32
