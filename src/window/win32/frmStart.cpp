#include "window/win32/frmStart.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "platform/windows/WideText.h"
#include "shredder/ShredderPage.h"
#include "window/win32/Art.h"

namespace quenvor::window::win32 {
namespace {

using platform::windows::narrow;
using platform::windows::widen;
using ui::ControlKind;
using ui::ControlSpec;
using ui::FormDesign;

constexpr wchar_t kWindowClass[] = L"QuenvorStart";
constexpr wchar_t kArtClass[] = L"QuenvorArt";
constexpr int kFirstId = 1000;
constexpr int kListFieldHeight = 15;  // 96-dpi pixels: the closed lists stand 21 pixels high

int px(int twips) { return (twips + ui::kTwipsPerPixel / 2) / ui::kTwipsPerPixel; }

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Per-monitor awareness asks the window for its own dots per inch (Windows 10 1607 on).
int windowDpi(HWND hwnd) {
    using GetDpi = UINT(WINAPI*)(HWND);
    static const auto getDpi = reinterpret_cast<GetDpi>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32"), "GetDpiForWindow")));
    if (getDpi && hwnd) return static_cast<int>(getDpi(hwnd));
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

bool fontInstalled(const wchar_t* face) {
    LOGFONTW wanted{};
    wanted.lfCharSet = DEFAULT_CHARSET;
    wcsncpy(wanted.lfFaceName, face, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(
        screen, &wanted,
        [](const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM seen) -> int {
            *reinterpret_cast<bool*>(seen) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

std::wstring windowText(HWND hwnd) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring comboItem(HWND combo, int index) {
    const LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

// Which tab (1 to 4) a strip's hot area or caption stands for: "imgP1Tab3_0" is tab 3.
int tabOf(const std::string& name) { return name[8] - '0'; }

void registerClasses(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    if (!GetClassInfoExW(instance, kWindowClass, &wc)) {
        wc.lpfnWndProc = DefWindowProcW;  // replaced per window below
        wc.lpszClassName = kWindowClass;
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        RegisterClassExW(&wc);
    }
    WNDCLASSEXW art{};
    art.cbSize = sizeof art;
    if (!GetClassInfoExW(instance, kArtClass, &art)) {
        art.hInstance = instance;
        art.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        art.lpfnWndProc = DefWindowProcW;
        art.lpszClassName = kArtClass;
        RegisterClassExW(&art);
    }
}

}  // namespace

frmStart::frmStart(ui::IUiServices& ui, platform::PlatformServices services) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    registerClasses(instance);
    m_tahoma = fontInstalled(L"Tahoma");
    m_pageBrush = CreateSolidBrush(Art::kPage);
    m_whiteBrush = CreateSolidBrush(RGB(255, 255, 255));
    m_hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, L"154",
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                             CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!m_hwnd) throw std::runtime_error("the main window could not be made");
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frmStart::windowProc));
    m_dpi = windowDpi(m_hwnd);
    RECT frame{0, 0, scale(px(ui::kClientWidthTwips)), scale(px(ui::kClientHeightTwips))};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE)), FALSE, WS_EX_CONTROLPARENT);
    SetWindowPos(m_hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    buildControls();
    m_logic = std::make_unique<shell::StartForm>(*this, ui, services);
    m_logic->setOwnerHandle(reinterpret_cast<std::uintptr_t>(m_hwnd));
}

frmStart::~frmStart() {
    if (IsWindow(m_hwnd)) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
    for (auto& [key, f] : m_fonts) DeleteObject(f);
    DeleteObject(m_pageBrush);
    DeleteObject(m_whiteBrush);
}

HFONT frmStart::font(const ControlSpec& layout, bool bold) {
    const wchar_t* face = L"Tahoma";
    if (layout.face == ui::FontFace::Arial) face = fontInstalled(L"Arial") ? L"Arial" : L"Tahoma";
    if (!m_tahoma && wcscmp(face, L"Tahoma") == 0) face = L"Segoe UI";
    // Point sizes are meant at 96 dots per inch: 8.25 pt is 11 pixels there.
    const int height = -MulDiv(layout.pointSizeX100, m_dpi, 7200);
    const std::string key = narrow(face) + "/" + std::to_string(height) + (bold ? "b" : "");
    auto& f = m_fonts[key];
    if (!f)
        f = CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face);
    return f;
}

// The program's name in the side band, bold as in the artwork. Wine's own Tahoma Bold has bold
// spacing but regular strokes at this size, so under Wine a sans-serif the system has a real bold
// face of stands in.
HFONT frmStart::logoFont() {
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll"), "wine_get_version") != nullptr;
    const wchar_t* face = wine && fontInstalled(L"DejaVu Sans") ? L"DejaVu Sans" : m_tahoma ? L"Tahoma" : L"Segoe UI";
    const int height = -MulDiv(1350, m_dpi, 7200);  // 18 pixels at 96 dpi
    const std::string key = "logo/" + narrow(face) + "/" + std::to_string(height);
    auto& f = m_fonts[key];
    if (!f)
        f = CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, face);
    return f;
}

void frmStart::buildControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    int id = kFirstId;
    for (const auto& layout : FormDesign::controls()) {
        Control c;
        c.layout = &layout;
        c.bold = layout.bold;
        HWND parent = layout.parent.empty() ? m_hwnd : at(layout.parent).hwnd;
        const wchar_t* cls = kArtClass;
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD ex = 0;
        switch (layout.kind) {
            case ControlKind::PictureBox:
                style |= WS_CLIPCHILDREN;
                // The settings box holds focusable controls: the dialog keys look inside it.
                ex = WS_EX_CONTROLPARENT;
                break;
            case ControlKind::Image:
            case ControlKind::Label:
                break;
            case ControlKind::Button:
                cls = WC_BUTTONW;
                style |= BS_PUSHBUTTON | WS_TABSTOP;
                break;
            case ControlKind::CheckBox:
                cls = WC_BUTTONW;
                // Not automatic: a click toggles clear and ticked only, a stored greyed state shows.
                style |= BS_3STATE | WS_TABSTOP;
                break;
            case ControlKind::ComboBox:
                cls = WC_COMBOBOXW;
                style |= WS_TABSTOP | WS_VSCROLL |
                         (layout.editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL
                                          : CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
                break;
            case ControlKind::ListBox:
                cls = WC_LISTBOXW;
                style |= WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY;
                ex = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::ProgressBar:
                cls = PROGRESS_CLASSW;
                break;
        }
        const std::wstring text = layout.kind == ControlKind::Label || layout.kind == ControlKind::Button ||
                                          layout.kind == ControlKind::CheckBox
                                      ? widen(layout.caption)
                                      : std::wstring();
        c.hwnd = CreateWindowExW(ex, cls, text.c_str(), style, 0, 0, 1, 1, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (!c.hwnd) throw std::runtime_error("control " + layout.name + " could not be made");
        if (cls == kArtClass) {
            SetWindowLongPtrW(c.hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frmStart::artProc));
        }
        // Later controls lie above earlier ones, as in the design.
        SetWindowPos(c.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (layout.kind == ControlKind::ComboBox) SetWindowSubclass(c.hwnd, &frmStart::choiceProc, 1, 0);
        if (layout.kind == ControlKind::CheckBox)
            SendMessageW(c.hwnd, BM_SETCHECK, static_cast<WPARAM>(layout.check), 0);
        if (layout.kind == ControlKind::ProgressBar) SendMessageW(c.hwnd, PBM_SETRANGE32, 0, 100);
        if (layout.elideMiddle) addTip(c.hwnd);
        auto& stored = m_controls[layout.name] = c;
        SetWindowLongPtrW(c.hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&stored));
        m_names.push_back(layout.name);
        m_byHandle[c.hwnd] = layout.name;
        place(stored);
        EnableWindow(c.hwnd, layout.enabled);
        if (layout.visible) ShowWindow(c.hwnd, SW_SHOWNA);
    }
}

// The whole of a shortened caption is its tooltip; the control's own text, which accessibility
// tools read as its name, stays whole too.
void frmStart::addTip(HWND control) {
    if (!m_tips)
        m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_hwnd, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!m_tips) return;  // no tooltip: the caption still holds the whole text
    SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, scale(600));
    TOOLINFOW tip{};
    tip.cbSize = TTTOOLINFOW_V2_SIZE;
    tip.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tip.hwnd = m_hwnd;
    tip.uId = reinterpret_cast<UINT_PTR>(control);
    tip.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tip));
}

std::wstring frmStart::elided(Control& c, HDC dc) {
    RECT r;
    GetClientRect(c.hwnd, &r);
    std::wstring text = windowText(c.hwnd);
    const std::size_t length = text.size();
    text.resize(length + 4, L'\0');  // room for the ellipsis DT_MODIFYSTRING may write
    HGDIOBJ old = SelectObject(dc, font(*c.layout, c.bold));
    DrawTextW(dc, text.data(), static_cast<int>(length), &r,
              DT_SINGLELINE | DT_NOPREFIX | DT_PATH_ELLIPSIS | DT_MODIFYSTRING | DT_CALCRECT);
    SelectObject(dc, old);
    text.resize(wcslen(text.c_str()));
    return text;
}

std::string frmStart::shownCaption(const std::string& name) {
    auto& c = at(name);
    if (!c.layout->elideMiddle) return narrow(windowText(c.hwnd));
    HDC dc = CreateCompatibleDC(nullptr);
    const std::wstring text = elided(c, dc);
    DeleteDC(dc);
    return narrow(text);
}

std::string frmStart::toolTip(const std::string& name) {
    if (!m_tips) return {};
    std::wstring text(32768, L'\0');
    TOOLINFOW tip{};
    tip.cbSize = TTTOOLINFOW_V2_SIZE;
    tip.hwnd = m_hwnd;
    tip.uId = reinterpret_cast<UINT_PTR>(at(name).hwnd);
    tip.lpszText = text.data();
    SendMessageW(m_tips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tip));
    text.resize(wcslen(text.c_str()));
    return narrow(text);
}

void frmStart::place(Control& c) {
    const auto& s = *c.layout;
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font(s, c.bold)), FALSE);
    int w = scale(px(s.width)), h = scale(px(s.height));
    if (s.autoSize) {
        HDC dc = GetDC(c.hwnd);
        HGDIOBJ old = SelectObject(dc, font(s, c.bold));
        const std::wstring text = windowText(c.hwnd);
        RECT r{0, 0, 0, 0};
        DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(c.hwnd, dc);
        w = r.right;
        h = r.bottom;
    } else if (s.kind == ControlKind::Label && s.widestWidth > s.width) {
        HDC dc = GetDC(c.hwnd);
        HGDIOBJ old = SelectObject(dc, font(s, c.bold));
        const std::wstring text = windowText(c.hwnd);
        RECT r{0, 0, w, 0};
        DrawTextW(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK);
        SelectObject(dc, old);
        ReleaseDC(c.hwnd, dc);
        if (r.bottom > h) w = scale(px(s.widestWidth));
    }
    if (s.kind == ControlKind::ComboBox) {
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
void frmStart::clearButtons(Control& box) {
    RECT boxRect{scale(px(box.layout->left)), scale(px(box.layout->top)), 0, 0};
    boxRect.right = boxRect.left + scale(px(box.layout->width));
    boxRect.bottom = boxRect.top + scale(px(box.layout->height));
    HRGN shape = CreateRectRgn(0, 0, boxRect.right - boxRect.left, boxRect.bottom - boxRect.top);
    for (const auto& layout : FormDesign::controls()) {
        if (layout.kind != ControlKind::Button || !layout.parent.empty()) continue;
        RECT button{scale(px(layout.left)), scale(px(layout.top)), 0, 0};
        button.right = button.left + scale(px(layout.width));
        button.bottom = button.top + scale(px(layout.height));
        RECT overlap;
        if (!IntersectRect(&overlap, &boxRect, &button)) continue;
        OffsetRect(&overlap, -boxRect.left, -boxRect.top);
        HRGN hole = CreateRectRgnIndirect(&overlap);
        CombineRgn(shape, shape, hole, RGN_DIFF);
        DeleteObject(hole);
    }
    SetWindowRgn(box.hwnd, shape, TRUE);  // the window owns the region from here on
}

HWND frmStart::control(const std::string& name) const {
    auto it = m_controls.find(name);
    if (it == m_controls.end()) throw std::out_of_range("no control named " + name);
    return it->second.hwnd;
}

std::string frmStart::nameOf(HWND hwnd) const {
    auto it = m_byHandle.find(hwnd);
    return it == m_byHandle.end() ? std::string() : it->second;
}

frmStart::Control& frmStart::at(const std::string& name) {
    auto it = m_controls.find(name);
    if (it == m_controls.end()) throw std::out_of_range("no control named " + name);
    return it->second;
}

frmStart::Control& frmStart::of(const std::string& name, ControlKind kind) {
    auto& c = at(name);
    if (c.layout->kind != kind) throw std::invalid_argument(name + " is not that kind of control");
    return c;
}

LRESULT CALLBACK frmStart::windowProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<frmStart*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(hwnd, msg, w, l) : DefWindowProcW(hwnd, msg, w, l);
}

LRESULT CALLBACK frmStart::artProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto* c = reinterpret_cast<Control*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    auto* self = reinterpret_cast<frmStart*>(GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
    return c && self ? self->handleArt(*c, msg, w, l) : DefWindowProcW(hwnd, msg, w, l);
}

// A list under the pointer takes the wheel only while it has the focus, so scrolling the page
// never changes a setting by the way.
LRESULT CALLBACK frmStart::choiceProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR) {
    if (msg == WM_MOUSEWHEEL) {
        HWND focus = GetFocus();
        if (focus != hwnd && !IsChild(hwnd, focus)) return 0;
    }
    return DefSubclassProc(hwnd, msg, w, l);
}

LRESULT frmStart::handle(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT r;
            GetClientRect(hwnd, &r);
            HDC mem = CreateCompatibleDC(dc);
            HBITMAP bmp = CreateCompatibleBitmap(dc, r.right, r.bottom);
            HGDIOBJ old = SelectObject(mem, bmp);
            SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(mem), PRF_CLIENT);
            BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteObject(bmp);
            DeleteDC(mem);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT: {
            RECT r;
            GetClientRect(hwnd, &r);
            Art::paintPage(reinterpret_cast<HDC>(w), {r.right, r.bottom}, m_dpi, logoFont());
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Solid brushes: transparent backgrounds over painted areas come out black under Wine.
            HWND child = reinterpret_cast<HWND>(l);
            const auto settings = m_controls.find("pSettings");
            const bool onSettings = settings != m_controls.end() && GetParent(child) == settings->second.hwnd;
            SetBkColor(reinterpret_cast<HDC>(w), onSettings ? RGB(255, 255, 255) : Art::kPage);
            return reinterpret_cast<LRESULT>(onSettings ? m_whiteBrush : m_pageBrush);
        }
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
            item->itemHeight = static_cast<UINT>(
                scale(item->itemID == static_cast<UINT>(-1) ? kListFieldHeight : kListFieldHeight - 1));
            return TRUE;
        }
        case WM_DRAWITEM:
            drawChoice(*reinterpret_cast<DRAWITEMSTRUCT*>(l));
            return TRUE;
        case WM_COMMAND:
            if (l) {
                const std::string name = nameOf(reinterpret_cast<HWND>(l));
                if (!name.empty()) command(at(name), HIWORD(w));
            }
            return 0;
        case WM_SETCURSOR:
            if (m_busy) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            m_dpi = HIWORD(w);
            for (auto& name : m_names) place(at(name));
            const auto* r = reinterpret_cast<const RECT*>(l);
            SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            InvalidateRect(hwnd, nullptr, TRUE);
            return 0;
        }
        case WM_CLOSE:
            if (!m_logic->ending()) {
                if (!m_logic->QueryUnload()) return 0;
                m_logic->Form_Unload();
            }
            ShowWindow(hwnd, SW_HIDE);
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

void frmStart::paintParent(HWND child, HDC dc) {
    HWND parent = GetParent(child);
    POINT at{0, 0};
    MapWindowPoints(child, parent, &at, 1);
    POINT old;
    OffsetViewportOrgEx(dc, -at.x, -at.y, &old);
    SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    SetViewportOrgEx(dc, old.x, old.y, nullptr);
}

// Pictures, images and captions have no background of their own: each draws what lies under it
// (its parent's artwork) and then itself, so nothing relies on transparent windows.
void frmStart::paintArt(Control& c, HDC dc) {
    RECT r;
    GetClientRect(c.hwnd, &r);
    const auto& s = *c.layout;
    if (s.name == "pSettings") {
        FillRect(dc, &r, m_whiteBrush);
    } else {
        paintParent(c.hwnd, dc);
    }
    if (s.kind == ControlKind::PictureBox && startsWith(s.name, "pTab1_")) {
        Art::paintStrip(dc, s.name.back() - '0', {r.right, r.bottom}, m_dpi);
    } else if (s.kind == ControlKind::Label) {
        // Drawn as shownCaption reports it.
        const std::wstring text = s.elideMiddle ? elided(c, dc) : windowText(c.hwnd);
        HGDIOBJ old = SelectObject(dc, font(s, c.bold));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, !IsWindowEnabled(c.hwnd) ? GetSysColor(COLOR_GRAYTEXT)
                         : s.darkGrey             ? Art::kDarkGrey
                                                  : RGB(0, 0, 0));
        const UINT flags = DT_NOPREFIX | (s.centred ? DT_CENTER : DT_LEFT) |
                           (s.elideMiddle ? DT_SINGLELINE
                            : s.autoSize  ? 0U
                                          : DT_WORDBREAK);
        DrawTextW(dc, text.c_str(), -1, &r, flags);
        SelectObject(dc, old);
    }
}

LRESULT frmStart::handleArt(Control& c, UINT msg, WPARAM w, LPARAM l) {
    HWND hwnd = c.hwnd;
    const std::string& name = c.layout->name;
    const bool tabItem = startsWith(name, "imgP1Tab") || startsWith(name, "lblP1Tab");
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT r;
            GetClientRect(hwnd, &r);
            HDC mem = CreateCompatibleDC(dc);
            HBITMAP bmp = CreateCompatibleBitmap(dc, std::max<LONG>(r.right, 1), std::max<LONG>(r.bottom, 1));
            HGDIOBJ old = SelectObject(mem, bmp);
            paintArt(c, mem);
            BitBlt(dc, 0, 0, r.right, r.bottom, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
            DeleteObject(bmp);
            DeleteDC(mem);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paintArt(c, reinterpret_cast<HDC>(w));
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETTEXT: {
            const LRESULT done = DefWindowProcW(hwnd, msg, w, l);
            if (c.layout->autoSize || c.layout->widestWidth) place(c);
            InvalidateRect(hwnd, nullptr, FALSE);
            return done;
        }
        case WM_ENABLE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETFONT:  // what the caption is drawn in, for whoever measures it
            return reinterpret_cast<LRESULT>(font(*c.layout, c.bold));
        case WM_SETFONT:
            return 0;
        case WM_SETCURSOR:
            if (!m_busy && (tabItem || name == "imgTab4")) {
                if (tabItem) SetCursor(LoadCursorW(nullptr, IDC_HAND));
                if (tabItem) return TRUE;
            }
            break;
        case WM_MOUSEMOVE:
            if (tabItem) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
                onTabItem(c, false);
            }
            return 0;
        case WM_LBUTTONDOWN:
            SetCapture(hwnd);
            return 0;
        case WM_LBUTTONUP: {
            if (GetCapture() != hwnd) return 0;
            ReleaseCapture();
            RECT r;
            GetClientRect(hwnd, &r);
            const POINT p{GET_X_LPARAM(l), GET_Y_LPARAM(l)};
            if (!PtInRect(&r, p)) return 0;
            if (tabItem) onTabItem(c, true);
            if (name == "imgTab4") m_logic->pages().imgTab4_Click();
            return 0;
        }
        case WM_COMMAND:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_MEASUREITEM:
        case WM_DRAWITEM:
            // Controls inside a picture box report to the window, as they would in a dialog.
            return SendMessageW(m_hwnd, msg, w, l);
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, w, l);
}

void frmStart::onTabItem(const Control& c, bool click) {
    const std::string& name = c.layout->name;
    const int tab = tabOf(name);
    auto& pages = m_logic->pages();
    if (!click)
        pages.P1Tab_MouseMove(tab);
    else if (startsWith(name, "img"))
        pages.imgP1Tab_Click(tab);
    else
        pages.lblP1Tab_Click(tab);
}

void frmStart::command(Control& c, int code) {
    const std::string& name = c.layout->name;
    if (c.layout->kind == ControlKind::CheckBox && code == BN_CLICKED) {
        // A greyed box is ticked by its first click, as a clear one is.
        const bool ticked = SendMessageW(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SendMessageW(c.hwnd, BM_SETCHECK, ticked ? BST_UNCHECKED : BST_CHECKED, 0);
        return;
    }
    if (name == "cmbLanguage" && code == CBN_SELCHANGE) {
        m_logic->settings().cmbLanguage_Click();
        return;
    }
    if (c.layout->kind != ControlKind::Button || code != BN_CLICKED) return;
    auto& form = *m_logic;
    auto* page = form.shredderPage();  // exists once the load step has run
    if (name == "cmdHelp") {
        form.cmdHelp_Click();
    } else if (name == "cmdNext") {
        form.cmdNext_Click();
    } else if (name == "cmdQuit") {
        form.cmdQuit_Click();
        if (form.ending()) ShowWindow(m_hwnd, SW_HIDE);
    } else if (name == "cmdSave") {
        form.settings().cmdSave_Click();
    } else if (page && name == "cmdFile") {
        page->cmdFile_Click();
    } else if (page && name == "cmdFolder") {
        page->cmdFolder_Click();
    } else if (page && name == "cmdDelete") {
        page->cmdDelete_Click();
    } else if (page && name == "cmdCancel") {
        page->cmdCancel_Click();
    }
}

// The pick-only list shows its word ("Language") in the colour of its items while nothing is
// picked, which a plain drop-down list cannot.
void frmStart::drawChoice(const DRAWITEMSTRUCT& item) {
    const std::string name = nameOf(item.hwndItem);
    if (name.empty()) return;
    auto& c = at(name);
    const bool picked = static_cast<int>(item.itemID) >= 0;
    const std::wstring text = picked ? comboItem(item.hwndItem, static_cast<int>(item.itemID)) : widen(c.placeholder);
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!IsWindowEnabled(item.hwndItem) ? COLOR_GRAYTEXT
                                 : selected                      ? COLOR_HIGHLIGHTTEXT
                                                                 : COLOR_WINDOWTEXT));
    HGDIOBJ old = SelectObject(dc, font(*c.layout, c.bold));
    r.left += scale(3);
    DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(dc, old);
    if ((item.itemState & ODS_FOCUS) != 0) DrawFocusRect(dc, &item.rcItem);
}

std::vector<std::string> frmStart::controlNames() { return m_names; }

std::optional<std::string> frmStart::caption(const std::string& name) {
    auto& c = at(name);
    switch (c.layout->kind) {
        case ControlKind::Label:
        case ControlKind::Button:
        case ControlKind::CheckBox:
            return narrow(windowText(c.hwnd));
        default:
            return std::nullopt;
    }
}

void frmStart::setCaption(const std::string& name, const std::string& text) {
    auto& c = at(name);
    const auto kind = c.layout->kind;
    if (kind != ControlKind::Label && kind != ControlKind::Button && kind != ControlKind::CheckBox)
        throw std::invalid_argument(name + " has no caption");
    const std::wstring wide = widen(text);
    SetWindowTextW(c.hwnd, wide.c_str());
    if (c.layout->elideMiddle && m_tips) {
        TOOLINFOW tip{};
        tip.cbSize = TTTOOLINFOW_V2_SIZE;
        tip.hwnd = m_hwnd;
        tip.uId = reinterpret_cast<UINT_PTR>(c.hwnd);
        tip.lpszText = const_cast<wchar_t*>(wide.c_str());
        SendMessageW(m_tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tip));
    }
}

void frmStart::setWindowCaption(const std::string& text) { SetWindowTextW(m_hwnd, widen(text).c_str()); }

void frmStart::closeWindow() { SendMessageW(m_hwnd, WM_CLOSE, 0, 0); }

void frmStart::setVisible(const std::string& name, bool visible) {
    ShowWindow(at(name).hwnd, visible ? SW_SHOWNA : SW_HIDE);
}
bool frmStart::isVisible(const std::string& name) {
    return (GetWindowLongW(at(name).hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}
void frmStart::setEnabled(const std::string& name, bool enabled) { EnableWindow(at(name).hwnd, enabled); }
bool frmStart::isEnabled(const std::string& name) { return IsWindowEnabled(at(name).hwnd) != FALSE; }

void frmStart::setBold(const std::string& name, bool bold) {
    auto& c = at(name);
    if (c.bold == bold) return;
    c.bold = bold;
    place(c);  // a caption sized to its text grows with a bold face
}

bool frmStart::isBold(const std::string& name) { return at(name).bold; }

void frmStart::bringToFront(const std::string& name) {
    SetWindowPos(at(name).hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void frmStart::setTabStop(const std::string& name, bool on) {
    auto& c = at(name);
    if (!c.layout->takesFocus) return;
    LONG style = GetWindowLongW(c.hwnd, GWL_STYLE);
    style = on ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    SetWindowLongW(c.hwnd, GWL_STYLE, style);
}

// The dialog keys go by z-order: each focusable control is put on top, last first. Controls of
// one parent keep the order among themselves; the settings box moves with its first control.
void frmStart::applyTabOrder(const std::vector<std::string>& order) {
    std::vector<HWND> focusable;
    for (const auto& name : order) {
        const auto* layout = FormDesign::find(name);
        if (layout && layout->takesFocus) focusable.push_back(at(name).hwnd);
    }
    for (auto it = focusable.rbegin(); it != focusable.rend(); ++it) {
        HWND hwnd = *it;
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (GetParent(hwnd) != m_hwnd)
            SetWindowPos(GetParent(hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void frmStart::clearList(const std::string& name) {
    SendMessageW(of(name, ControlKind::ListBox).hwnd, LB_RESETCONTENT, 0, 0);
}
void frmStart::addListItem(const std::string& name, const std::string& text) {
    SendMessageW(of(name, ControlKind::ListBox).hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

std::vector<std::string> frmStart::listItems(const std::string& name) {
    HWND list = of(name, ControlKind::ListBox).hwnd;
    std::vector<std::string> items;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0)) + 1,
                          L'\0');
        const auto n = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
        items.push_back(narrow(text));
    }
    return items;
}

// Adding an item selects nothing, so the first one is never picked behind the user's back.
void frmStart::addComboItem(const std::string& name, const std::string& text) {
    SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

void frmStart::setComboText(const std::string& name, const std::string& text) {
    auto& c = of(name, ControlKind::ComboBox);
    if (c.layout->editable) {
        SetWindowTextW(c.hwnd, widen(text).c_str());
    } else {
        SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        c.placeholder = text;
        InvalidateRect(c.hwnd, nullptr, TRUE);
    }
}

std::string frmStart::comboText(const std::string& name) {
    auto& c = of(name, ControlKind::ComboBox);
    if (c.layout->editable) return narrow(windowText(c.hwnd));
    const auto index = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
    return index < 0 ? c.placeholder : narrow(comboItem(c.hwnd, index));
}

int frmStart::comboSelectedIndex(const std::string& name) {
    auto& c = of(name, ControlKind::ComboBox);
    const auto index = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
    // Text typed over the item is no selection.
    if (c.layout->editable && index >= 0 && windowText(c.hwnd) != comboItem(c.hwnd, index)) return -1;
    return index < 0 ? -1 : index;
}

void frmStart::setComboSelectedIndex(const std::string& name, int index) {
    SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void frmStart::setComboItemData(const std::string& name, int index, std::int32_t value) {
    SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_SETITEMDATA, static_cast<WPARAM>(index),
                 static_cast<LPARAM>(value));
}

std::int32_t frmStart::comboItemData(const std::string& name, int index) {
    const LRESULT v = SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return v == CB_ERR ? 0 : static_cast<std::int32_t>(v);
}

int frmStart::checkValue(const std::string& name) {
    switch (SendMessageW(of(name, ControlKind::CheckBox).hwnd, BM_GETCHECK, 0, 0)) {
        case BST_UNCHECKED:
            return 0;
        case BST_CHECKED:
            return 1;
        default:
            return 2;
    }
}

void frmStart::setCheckValue(const std::string& name, int value) {
    const WPARAM state = value == 0 ? BST_UNCHECKED : value == 1 ? BST_CHECKED : BST_INDETERMINATE;
    SendMessageW(of(name, ControlKind::CheckBox).hwnd, BM_SETCHECK, state, 0);
}

// The bar counts in 32 bits; larger counts are scaled so any 64-bit count can be shown.
void frmStart::setProgressMax(const std::string& name, std::int64_t max) {
    auto& c = of(name, ControlKind::ProgressBar);
    c.progressMax = max;
    const auto shown = static_cast<LPARAM>(std::clamp<std::int64_t>(max, 0, std::numeric_limits<int>::max()));
    SendMessageW(c.hwnd, PBM_SETRANGE32, 0, shown);
    setProgressValue(name, c.progressValue);
}

std::int64_t frmStart::progressMax(const std::string& name) { return of(name, ControlKind::ProgressBar).progressMax; }

void frmStart::setProgressValue(const std::string& name, std::int64_t value) {
    auto& c = of(name, ControlKind::ProgressBar);
    c.progressValue = value;
    const std::int64_t shownMax = std::clamp<std::int64_t>(c.progressMax, 0, std::numeric_limits<int>::max());
    const std::int64_t shown =
        c.progressMax > shownMax && c.progressMax > 0
            ? static_cast<std::int64_t>(static_cast<long double>(value) * shownMax / c.progressMax)
            : value;
    SendMessageW(c.hwnd, PBM_SETPOS, static_cast<WPARAM>(std::clamp<std::int64_t>(shown, 0, shownMax)), 0);
}

std::int64_t frmStart::progressValue(const std::string& name) {
    return of(name, ControlKind::ProgressBar).progressValue;
}

}  // namespace quenvor::window::win32
