#include "window/win32/Art.h"

#include <algorithm>
#include <array>
#include <cwchar>
#include <string>

#include "platform/windows/WideText.h"
#include "ui/FormDesign.h"
#include "window/win32/GdiObject.h"
#include "window/win32/MemoryDC.h"
#include "window/win32/Palette.h"
#include "window/win32/SelectedObject.h"

namespace quenvor::window::win32 {
namespace {

int scale(double v, int dpi) { return static_cast<int>(v * dpi / 96.0 + (v >= 0 ? 0.5 : -0.5)); }

COLORREF mix(COLORREF a, COLORREF b, int alpha) {  // b over a, alpha of 255
    auto c = [&](int x, int y) { return (x * (255 - alpha) + y * alpha) / 255; };
    return RGB(c(GetRValue(a), GetRValue(b)), c(GetGValue(a), GetGValue(b)), c(GetBValue(a), GetBValue(b)));
}

TRIVERTEX vertex(int x, int y, COLORREF c) {
    return {x,
            y,
            static_cast<COLOR16>(GetRValue(c) << 8),
            static_cast<COLOR16>(GetGValue(c) << 8),
            static_cast<COLOR16>(GetBValue(c) << 8),
            0xff00};
}

void verticalGradient(HDC dc, RECT r, COLORREF top, COLORREF bottom) {
    std::array<TRIVERTEX, 2> v{vertex(r.left, r.top, top), vertex(r.right, r.bottom, bottom)};
    GRADIENT_RECT g{0, 1};
    GradientFill(dc, v.data(), 2, &g, 1, GRADIENT_FILL_RECT_V);
}

// Top-left to bottom-right, as two triangles meeting on the other diagonal.
void diagonalGradient(HDC dc, RECT r, COLORREF from, COLORREF to) {
    const COLORREF mid = mix(from, to, 128);
    std::array<TRIVERTEX, 4> v{vertex(r.left, r.top, from), vertex(r.right, r.top, mid), vertex(r.right, r.bottom, to),
                               vertex(r.left, r.bottom, mid)};
    std::array<GRADIENT_TRIANGLE, 2> t{{{0, 1, 3}, {1, 2, 3}}};
    GradientFill(dc, v.data(), 4, t.data(), 2, GRADIENT_FILL_TRIANGLE);
}

void fill(HDC dc, RECT r, COLORREF c) {
    const GdiObject<HBRUSH> b(CreateSolidBrush(c));
    FillRect(dc, &r, b.get());
}

// What lies under a child window: its parent's artwork, at the child's place.
void paintBehind(HWND child, HDC dc) {
    HWND parent = GetParent(child);
    POINT at{0, 0};
    MapWindowPoints(child, parent, &at, 1);
    POINT old;
    OffsetViewportOrgEx(dc, -at.x, -at.y, &old);
    SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

}  // namespace

void Art::paintPage(HDC dc, SIZE client, int dpi, HFONT logoFont) {
    const Palette p = Palette::current();
    fill(dc, {0, 0, client.cx, client.cy}, p.page);
    const int top = scale(kStripsHeight, dpi);
    const RECT band{0, top, scale(kSideBandWidth, dpi), client.cy};
    diagonalGradient(dc, band, p.bandFrom, p.bandTo);
    if (p.highContrast) fill(dc, {band.right - std::max(1, dpi / 96), top, band.right, client.cy}, p.bandLine);

    // The shield of the Qt artwork, in band coordinates around (cx, cy).
    const double cx = kSideBandWidth / 2.0, cy = 76;
    const std::array<double, 26> shape = {0,  -40, 18, -30, 34, -30, 36,  -28, 38,  10,  22,  32, 0,
                                          44, -22, 32, -38, 10, -36, -28, -34, -30, -18, -30, 0,  -40};
    std::array<POINT, 13> pts{};
    for (std::size_t i = 0; i < pts.size(); ++i)
        pts[i] = {scale(cx + shape[2 * i], dpi), top + scale(cy + shape[2 * i + 1], dpi)};
    const COLORREF under = mix(p.bandFrom, p.bandTo, 70);
    const GdiObject<HPEN> outline(CreatePen(PS_SOLID, scale(3, dpi), p.bandLine));
    const GdiObject<HBRUSH> inside(CreateSolidBrush(p.bandFill));
    // Restored before the pen and brush go: the text colour and mode as well as the objects.
    const int saved = SaveDC(dc);
    SelectObject(dc, outline.get());
    SelectObject(dc, inside.get());
    BeginPath(dc);
    MoveToEx(dc, pts[0].x, pts[0].y, nullptr);
    PolyBezierTo(dc, &pts[1], 12);
    EndPath(dc);
    StrokeAndFillPath(dc);
    // Three strokes fading out: traces being wiped away.
    for (int i = 0; i < 3; ++i) {
        LOGBRUSH lb{BS_SOLID, p.highContrast ? p.bandLine : mix(under, RGB(255, 255, 255), 230 - i * 70), 0};
        const GdiObject<HPEN> stroke(
            ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND, scale(4, dpi), &lb, 0, nullptr));
        const SelectedObject withStroke(dc, stroke.get());
        const int y = top + scale(cy - 14 + i * 14, dpi);
        MoveToEx(dc, scale(cx - 18 + i * 3, dpi), y, nullptr);
        LineTo(dc, scale(cx + 18 - i * 3, dpi), y);
    }
    SelectObject(dc, logoFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, p.bandText);
    RECT name{0, top + scale(136, dpi), band.right, top + scale(162, dpi)};
    DrawTextW(dc, L"Quenvor", -1, &name, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(dc, saved);

    // A thin rule under the page title.
    fill(dc, {scale(136, dpi), scale(90, dpi), client.cx - scale(30, dpi), scale(90, dpi) + std::max(1, dpi / 96)},
         p.rule);
}

void Art::paintStrip(HDC dc, int current, SIZE size, int dpi) {
    using ui::FormDesign;
    const Palette p = Palette::current();
    const int baseY = size.cy - scale(4, dpi);
    fill(dc, {0, baseY, size.cx, size.cy}, p.accent);
    const auto hotArea = [current](int tab) {
        return FormDesign::find(FormDesign::member("imgP1Tab" + std::to_string(tab + 1), current));
    };
    // The other tabs share one top line and the current one stands above them.
    int restTop = 810;
    for (int j = 0; j < ui::kTabCount; ++j)
        if (const auto* hot = hotArea(j); hot && j != current) restTop = std::min(restTop, hot->top);
    const double rest = restTop / double(ui::kTwipsPerPixel);
    constexpr double kLift = 7;
    for (int pass = 0; pass < 2; ++pass) {
        for (int j = 0; j < ui::kTabCount; ++j) {
            const bool isCurrent = j == current;
            const auto* hot = hotArea(j);
            if (isCurrent != (pass == 1) || !hot) continue;
            const double x = hot->left / double(ui::kTwipsPerPixel) - 4;
            const double w = hot->width / double(ui::kTwipsPerPixel) + 8;
            const double top = isCurrent ? rest - kLift : rest;
            const int l = scale(x, dpi), r = scale(x + w, dpi), t = scale(top, dpi);
            const int b = isCurrent ? size.cy : baseY;
            const int slant = scale(6, dpi), round = scale(3, dpi);
            const std::array<POINT, 8> shape{{{l, b},
                                              {l + slant, t + round},
                                              {l + slant + round / 2, t + round / 3},
                                              {l + slant + round, t},
                                              {r - slant - round, t},
                                              {r - slant - round / 2, t + round / 3},
                                              {r - slant, t + round},
                                              {r, b}}};
            {
                // The clip takes a copy of the region.
                const GdiObject<HRGN> region(CreatePolygonRgn(shape.data(), static_cast<int>(shape.size()), WINDING));
                const int saved = SaveDC(dc);
                SelectClipRgn(dc, region.get());
                if (isCurrent)
                    verticalGradient(dc, {l, t, r, b}, p.currentFrom, p.currentTo);
                else
                    verticalGradient(dc, {l, t, r, b}, p.tabFrom, p.tabTo);
                RestoreDC(dc, saved);
            }
            {
                const GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, isCurrent ? p.currentLine : p.tabLine));
                const SelectedObject withPen(dc, pen.get());
                Polyline(dc, shape.data(), static_cast<int>(shape.size()));
            }
            if (isCurrent) fill(dc, {l + scale(10, dpi), t + 1, r - scale(10, dpi), t + 1 + scale(2, dpi)}, p.accent);
        }
    }
}

RECT Art::tabRect(int strip, int tab, int dpi) {
    const auto* hot = ui::FormDesign::find(ui::FormDesign::member("imgP1Tab" + std::to_string(tab + 1), strip));
    if (!hot) return {};
    const auto px = [dpi](int twips) { return scale(twips / double(ui::kTwipsPerPixel), dpi); };
    return {px(hot->left), px(hot->top), px(hot->left + hot->width), px(hot->top + hot->height)};
}

void Art::paintBuffered(HWND hwnd, const std::function<void(HDC)>& paint) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT r;
    GetClientRect(hwnd, &r);
    {
        const MemoryDC mem(dc);
        const GdiObject<HBITMAP> bitmap(
            CreateCompatibleBitmap(dc, std::max<LONG>(r.right, 1), std::max<LONG>(r.bottom, 1)));
        const SelectedObject into(mem.get(), bitmap.get());
        paint(mem.get());
        BitBlt(dc, 0, 0, r.right, r.bottom, mem.get(), 0, 0, SRCCOPY);
    }
    EndPaint(hwnd, &ps);
}

void Art::paintControl(const NativeControl& c, HDC dc, HFONT font, int dpi) {
    RECT r;
    GetClientRect(c.hwnd, &r);
    const auto& s = *c.layout;
    const Palette p = Palette::current();
    if (s.name == "pSettings") {
        fill(dc, r, p.box);
    } else {
        paintBehind(c.hwnd, dc);
    }
    if (s.kind == ui::ControlKind::PictureBox && s.name.rfind("pTab1_", 0) == 0) {
        const int current = s.name.back() - '0';
        paintStrip(dc, current, {r.right, r.bottom}, dpi);
        if (GetFocus() == c.hwnd) {
            RECT tab = tabRect(current, current, dpi);
            InflateRect(&tab, -scale(2, dpi), -scale(2, dpi));
            SetTextColor(dc, p.text);
            SetBkColor(dc, p.page);
            DrawFocusRect(dc, &tab);
        }
    } else if (s.kind == ui::ControlKind::Label) {
        // Drawn as elided() reports it.
        const std::wstring text = s.elideMiddle ? elided(c, dc, font) : c.text();
        const SelectedObject inFont(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, !IsWindowEnabled(c.hwnd) ? GetSysColor(COLOR_GRAYTEXT) : s.darkGrey ? p.greyText : p.text);
        const UINT flags = DT_NOPREFIX | (s.centred ? DT_CENTER : DT_LEFT) |
                           (s.elideMiddle ? DT_SINGLELINE
                            : s.autoSize  ? 0U
                                          : DT_WORDBREAK);
        DrawTextW(dc, text.c_str(), -1, &r, flags);
    }
}

std::wstring Art::elided(const NativeControl& c, HDC dc, HFONT font) {
    RECT r;
    GetClientRect(c.hwnd, &r);
    std::wstring text = c.text();
    const std::size_t length = text.size();
    text.resize(length + 4, L'\0');  // room for the ellipsis DT_MODIFYSTRING may write
    {
        const SelectedObject inFont(dc, font);
        DrawTextW(dc, text.data(), static_cast<int>(length), &r,
                  DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_MODIFYSTRING | DT_CALCRECT);
    }
    text.resize(wcslen(text.c_str()));
    return text;
}

void Art::paintChoice(const DRAWITEMSTRUCT& item, const NativeControl& c, HFONT font, int dpi) {
    const bool picked = static_cast<int>(item.itemID) >= 0;
    const std::wstring text = picked ? c.item(static_cast<int>(item.itemID)) : platform::windows::widen(c.placeholder);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!IsWindowEnabled(item.hwndItem) ? COLOR_GRAYTEXT
                                 : selected                      ? COLOR_HIGHLIGHTTEXT
                                                                 : COLOR_WINDOWTEXT));
    {
        const SelectedObject inFont(dc, font);
        r.left += MulDiv(3, dpi, 96);
        DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &item.rcItem);
}

}  // namespace quenvor::window::win32
