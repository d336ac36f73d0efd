#include "window/win32/Art.h"

#include <algorithm>
#include <array>
#include <string>

#include "ui/FormDesign.h"

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
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &r, b);
    DeleteObject(b);
}

}  // namespace

void Art::paintPage(HDC dc, SIZE client, int dpi, HFONT logoFont) {
    fill(dc, {0, 0, client.cx, client.cy}, kPage);
    const int top = scale(kStripsHeight, dpi);
    const RECT band{0, top, scale(kSideBandWidth, dpi), client.cy};
    diagonalGradient(dc, band, kAccent, kAccentDark);

    // The shield of the Qt artwork, in band coordinates around (cx, cy).
    const double cx = kSideBandWidth / 2.0, cy = 76;
    const std::array<double, 26> shape = {0,  -40, 18, -30, 34, -30, 36,  -28, 38,  10,  22,  32, 0,
                                          44, -22, 32, -38, 10, -36, -28, -34, -30, -18, -30, 0,  -40};
    std::array<POINT, 13> pts{};
    for (std::size_t i = 0; i < pts.size(); ++i)
        pts[i] = {scale(cx + shape[2 * i], dpi), top + scale(cy + shape[2 * i + 1], dpi)};
    const int saved = SaveDC(dc);
    const COLORREF under = mix(kAccent, kAccentDark, 70);
    HPEN outline = CreatePen(PS_SOLID, scale(3, dpi), mix(under, RGB(255, 255, 255), 220));
    HBRUSH inside = CreateSolidBrush(mix(under, RGB(255, 255, 255), 40));
    SelectObject(dc, outline);
    SelectObject(dc, inside);
    BeginPath(dc);
    MoveToEx(dc, pts[0].x, pts[0].y, nullptr);
    PolyBezierTo(dc, &pts[1], 12);
    EndPath(dc);
    StrokeAndFillPath(dc);
    // Three strokes fading out: traces being wiped away.
    for (int i = 0; i < 3; ++i) {
        LOGBRUSH lb{BS_SOLID, mix(under, RGB(255, 255, 255), 230 - i * 70), 0};
        HPEN stroke = ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_ROUND, scale(4, dpi), &lb, 0, nullptr);
        SelectObject(dc, stroke);
        const int y = top + scale(cy - 14 + i * 14, dpi);
        MoveToEx(dc, scale(cx - 18 + i * 3, dpi), y, nullptr);
        LineTo(dc, scale(cx + 18 - i * 3, dpi), y);
        SelectObject(dc, outline);
        DeleteObject(stroke);
    }
    SelectObject(dc, logoFont);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    RECT name{0, top + scale(136, dpi), band.right, top + scale(162, dpi)};
    DrawTextW(dc, L"Quenvor", -1, &name, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    RestoreDC(dc, saved);
    DeleteObject(outline);
    DeleteObject(inside);

    // A thin rule under the page title.
    fill(dc, {scale(136, dpi), scale(90, dpi), client.cx - scale(30, dpi), scale(90, dpi) + std::max(1, dpi / 96)},
         RGB(200, 210, 222));
}

void Art::paintStrip(HDC dc, int current, SIZE size, int dpi) {
    using ui::FormDesign;
    const int baseY = size.cy - scale(4, dpi);
    fill(dc, {0, baseY, size.cx, size.cy}, kAccent);
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
            HRGN region = CreatePolygonRgn(shape.data(), static_cast<int>(shape.size()), WINDING);
            const int saved = SaveDC(dc);
            SelectClipRgn(dc, region);
            if (isCurrent)
                verticalGradient(dc, {l, t, r, b}, RGB(255, 255, 255), kPage);
            else
                verticalGradient(dc, {l, t, r, b}, RGB(226, 233, 240), RGB(196, 208, 220));
            RestoreDC(dc, saved);
            DeleteObject(region);
            HPEN pen = CreatePen(PS_SOLID, 1, isCurrent ? kAccent : RGB(150, 165, 180));
            HGDIOBJ old = SelectObject(dc, pen);
            Polyline(dc, shape.data(), static_cast<int>(shape.size()));
            SelectObject(dc, old);
            DeleteObject(pen);
            if (isCurrent) fill(dc, {l + scale(10, dpi), t + 1, r - scale(10, dpi), t + 1 + scale(2, dpi)}, kAccent);
        }
    }
}

}  // namespace quenvor::window::win32
