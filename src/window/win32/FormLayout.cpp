#include "window/win32/FormLayout.h"

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

}  // namespace

void FormLayout::place(NativeControl& c) {
    const auto& s = *c.layout;
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(c)), FALSE);
    int w = scale(px(s.width)), h = scale(px(s.height));
    if (s.autoSize) {
        const std::wstring text = c.text();
        const RECT r = measured(c.hwnd, font(c), text.empty() ? L" " : text, {0, 0, 0, 0}, 0);
        w = r.right;
        h = r.bottom;
    } else if (s.kind == ui::ControlKind::Label && s.widestWidth > s.width) {
        const RECT r = measured(c.hwnd, font(c), c.text(), {0, 0, w, 0}, DT_WORDBREAK);
        if (r.bottom > h) w = scale(px(s.widestWidth));
    }
    if (s.kind == ui::ControlKind::ComboBox) {
        SendMessageW(c.hwnd, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scale(kListFieldHeight));
        SendMessageW(c.hwnd, CB_SETITEMHEIGHT, 0, scale(kListFieldHeight - 1));
        h = scale(160);  // the dropped list; the field keeps its own height
    }
    SetWindowPos(c.hwnd, nullptr, scale(px(s.left)), scale(px(s.top)), w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    if (s.name == "pSettings") clearButtons(c);
    InvalidateRect(c.hwnd, nullptr, TRUE);
}

// The dialog keys put the settings box above the window's buttons in z-order, and its foot
// reaches under Help: the box leaves out whatever of a button it covers, as the design draws it.
void FormLayout::clearButtons(const NativeControl& box) {
    RECT boxRect{scale(px(box.layout->left)), scale(px(box.layout->top)), 0, 0};
    boxRect.right = boxRect.left + scale(px(box.layout->width));
    boxRect.bottom = boxRect.top + scale(px(box.layout->height));
    GdiObject<HRGN> shape(CreateRectRgn(0, 0, boxRect.right - boxRect.left, boxRect.bottom - boxRect.top));
    for (const auto& layout : ui::FormDesign::controls()) {
        if (layout.kind != ui::ControlKind::Button || !layout.parent.empty()) continue;
        RECT button{scale(px(layout.left)), scale(px(layout.top)), 0, 0};
        button.right = button.left + scale(px(layout.width));
        button.bottom = button.top + scale(px(layout.height));
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
