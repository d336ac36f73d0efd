#include "window/win32/frmStart.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/windows/WideText.h"
#include "shredder/ShredderPage.h"
#include "text/TextIds.h"
#include "ui/Accelerator.h"
#include "window/win32/Art.h"
#include "window/win32/Palette.h"

namespace quenvor::window::win32 {
namespace {

using platform::windows::narrow;
using platform::windows::widen;
using ui::ControlKind;
using ui::FormDesign;

constexpr wchar_t kWindowClass[] = L"QuenvorStart";
constexpr wchar_t kArtClass[] = L"QuenvorArt";
constexpr int kFirstId = 1000;

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }
bool isStrip(const std::string& name) { return startsWith(name, "pTab1_"); }

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
    m_hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, std::to_wstring(text::AppTitle).c_str(),
                             WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, CW_USEDEFAULT,
                             CW_USEDEFAULT, 100, 100, nullptr, nullptr, instance, nullptr);
    if (!m_hwnd) throw std::runtime_error("the main window could not be made");
    m_view = std::make_unique<FormView>(m_hwnd, m_layout);
    DragAcceptFiles(m_hwnd, TRUE);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frmStart::windowProc));
    m_layout.setDpi(windowDpi(m_hwnd));
    buildControls();
    fitText(true);
    m_logic = std::make_unique<shell::StartForm>(*m_view, ui, services);
    m_logic->setOwnerHandle(reinterpret_cast<std::uintptr_t>(m_hwnd));
    m_clicks = std::make_unique<shell::ClickRouter>(*m_logic);
}

frmStart::~frmStart() {
    if (IsWindow(m_hwnd)) {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }
}

void frmStart::buildControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    int id = kFirstId;
    for (const auto& layout : FormDesign::controls()) {
        HWND parent = layout.parent.empty() ? m_hwnd : m_view->control(layout.parent);
        const wchar_t* cls = kArtClass;
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS;
        DWORD ex = 0;
        switch (layout.kind) {
            case ControlKind::PictureBox:
                style |= WS_CLIPCHILDREN;
                // A tab strip is one stop of the keyboard's round (FormView::bringToFront marks
                // the one in front); the arrows pick its tabs.
                if (!isStrip(layout.name)) {
                    // The settings box holds focusable controls: the dialog keys look inside it.
                    ex = WS_EX_CONTROLPARENT;
                }
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
        HWND hwnd = CreateWindowExW(ex, cls, text.c_str(), style, 0, 0, 1, 1, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (!hwnd) throw std::runtime_error("control " + layout.name + " could not be made");
        if (cls == kArtClass) SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&frmStart::artProc));
        // Later controls lie above earlier ones, as in the design.
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (cls != kArtClass && layout.kind != ControlKind::Button && layout.kind != ControlKind::CheckBox)
            SetWindowSubclass(hwnd, &frmStart::nativeProc, 1, reinterpret_cast<DWORD_PTR>(this));
        if (layout.kind == ControlKind::CheckBox) SendMessageW(hwnd, BM_SETCHECK, static_cast<WPARAM>(layout.check), 0);
        if (layout.kind == ControlKind::ProgressBar) SendMessageW(hwnd, PBM_SETRANGE32, 0, 100);
        auto& c = m_view->add(layout, hwnd);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&c));
        m_layout.place(c);
        EnableWindow(hwnd, layout.enabled);
        if (layout.visible) ShowWindow(hwnd, SW_SHOWNA);
    }
}

// Every paragraph measured in its font at the window's scale; when one needs more room than the
// page below the title gives it, the page is stretched and the window grows with it. Within one
// scale the stretch only grows, so a shorter text never makes the window jump back.
void frmStart::fitText(bool fresh) {
    double need = fresh ? 1.0 : m_layout.stretch();
    for (const auto& name : m_view->names()) need = std::max(need, m_layout.stretchFor(m_view->at(name)));
    if (!fresh && need <= m_layout.stretch()) return;
    m_layout.setStretch(need);
    for (const auto& name : m_view->names()) m_layout.place(m_view->at(name));
    const SIZE client = m_layout.clientSize();
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongW(m_hwnd, GWL_STYLE)), FALSE, WS_EX_CONTROLPARENT);
    SetWindowPos(m_hwnd, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(m_hwnd, nullptr, TRUE);
}

void frmStart::showPage(int page, bool onStrip) {
    click(FormDesign::member("imgP1Tab" + std::to_string(page + 1), currentPage()));
    HWND strip = m_view->control(FormDesign::member("pTab1", currentPage()));
    NotifyWinEvent(EVENT_OBJECT_SELECTION, strip, OBJID_CLIENT, currentPage() + 1);
    if (onStrip)
        SetFocus(strip);
    else
        focusFirstControl();
}

void frmStart::focusFirstControl() {
    for (const auto& name : m_logic->pages().tabOrder().order()) {
        const auto* layout = FormDesign::find(name);
        HWND hwnd = m_view->control(name);
        if (layout && layout->takesFocus && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd) &&
            (GetWindowLongW(hwnd, GWL_STYLE) & WS_TABSTOP) != 0) {
            SetFocus(hwnd);
            return;
        }
    }
    SetFocus(m_view->control(FormDesign::member("pTab1", currentPage())));
}

bool frmStart::translateKey(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || (msg.hwnd != m_hwnd && !IsChild(m_hwnd, msg.hwnd))) return false;
    if (GetKeyState(VK_CONTROL) >= 0 || GetKeyState(VK_MENU) < 0) return false;
    int step = 0;
    if (msg.wParam == VK_TAB) step = GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
    if (msg.wParam == VK_NEXT) step = 1;
    if (msg.wParam == VK_PRIOR) step = -1;
    if (step == 0) return false;
    // From the strip the focus stays on the strip, as in any tabbed dialog.
    const bool onStrip = isStrip(m_view->nameOf(GetFocus()));
    showPage((currentPage() + step + ui::kTabCount) % ui::kTabCount, onStrip);
    return true;
}

// The arrows move along the tabs and stop at either end; Home and End go to the first and last.
LRESULT frmStart::stripKey(NativeControl& strip, WPARAM key) {
    const int page = strip.layout->name.back() - '0';
    int to = page;
    if (key == VK_LEFT || key == VK_UP) to = std::max(0, page - 1);
    if (key == VK_RIGHT || key == VK_DOWN) to = std::min(ui::kTabCount - 1, page + 1);
    if (key == VK_HOME) to = 0;
    if (key == VK_END) to = ui::kTabCount - 1;
    if (to != page) showPage(to, true);
    return 0;
}

LRESULT CALLBACK frmStart::windowProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<frmStart*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    return self ? self->handle(hwnd, msg, w, l) : DefWindowProcW(hwnd, msg, w, l);
}

LRESULT CALLBACK frmStart::artProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    auto* c = reinterpret_cast<NativeControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    auto* self = reinterpret_cast<frmStart*>(GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
    return c && self ? self->handleArt(*c, msg, w, l) : DefWindowProcW(hwnd, msg, w, l);
}

// A list under the pointer takes the wheel only while it has the focus, so scrolling the page
// never changes a setting by the way. Lists and the bar are named for screen readers.
LRESULT CALLBACK frmStart::nativeProc(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT_PTR, DWORD_PTR self) {
    auto* form = reinterpret_cast<frmStart*>(self);
    const auto* c = form->m_view->find(hwnd);
    if (msg == WM_MOUSEWHEEL && c && c->layout->kind == ControlKind::ComboBox) {
        HWND focus = GetFocus();
        if (focus != hwnd && !IsChild(hwnd, focus)) return 0;
    }
    if (msg == WM_GETOBJECT && c) {
        if (const LRESULT done = AccessibleControl::answer(hwnd, w, l, form->accessibleFacts(*c))) return done;
    }
    return DefSubclassProc(hwnd, msg, w, l);
}

AccessibleControl::Facts frmStart::accessibleFacts(const NativeControl& c) {
    AccessibleControl::Facts facts;
    const std::string& name = c.layout->name;
    const auto captionOf = [this](const std::string& label) {
        return [this, label] { return widen(ui::Accelerator::plain(m_view->caption(label).value_or(""))); };
    };
    if (isStrip(name)) {
        const int strip = name.back() - '0';
        HWND hwnd = c.hwnd;
        facts.role = ROLE_SYSTEM_PAGETABLIST;
        // The strips lie on one another; those behind the page's own are not there for the user.
        facts.state = [this, strip] {
            return strip == currentPage() ? 0L : STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
        };
        facts.children = ui::kTabCount;
        facts.childRole = ROLE_SYSTEM_PAGETAB;
        facts.childName = [this, strip](int tab) {
            return widen(m_view->caption(FormDesign::member("lblP1Tab" + std::to_string(tab), strip)).value_or(""));
        };
        facts.childState = [this, strip, hwnd](int tab) {
            long state = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
            if (tab - 1 == currentPage())
                state |= STATE_SYSTEM_SELECTED | (GetFocus() == hwnd ? STATE_SYSTEM_FOCUSED : 0);
            if (strip != currentPage()) state |= STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_OFFSCREEN;
            return state;
        };
        facts.childPlace = [this, strip](int tab) {
            RECT r{};
            GetWindowRect(m_view->control(FormDesign::member("imgP1Tab" + std::to_string(tab), strip)), &r);
            return r;
        };
        facts.choose = [this, hwnd](int tab) { showPage(tab - 1, GetFocus() == hwnd); };
        facts.action = widen(m_logic->strings().LoadLangString(text::SwitchPageAction));
        return facts;
    }
    switch (c.layout->kind) {
        case ControlKind::Label:
            facts.role = ROLE_SYSTEM_STATICTEXT;
            break;
        case ControlKind::ListBox:
        case ControlKind::ComboBox:
            // Named by the caption above it, as a dialog's label names the control after it.
            if (name == "LstB2") facts.name = captionOf("lblRecentFiles");
            if (name == "LstB3") facts.name = captionOf("lblCookies");
            if (name == "cmbSecure") facts.name = captionOf("lblDeleteSel");
            if (name == "cmbLanguage")
                facts.name = [this] { return widen(m_logic->strings().LoadLangString(text::LanguagePrompt)); };
            break;
        case ControlKind::ProgressBar: {
            HWND bar = c.hwnd;
            facts.role = ROLE_SYSTEM_PROGRESSBAR;
            facts.name = [this] { return widen(m_logic->strings().LoadLangString(text::ShredProgressName)); };
            facts.value = [bar] {
                const auto high = SendMessageW(bar, PBM_GETRANGE, FALSE, 0),
                           low = SendMessageW(bar, PBM_GETRANGE, TRUE, 0);
                const auto at = SendMessageW(bar, PBM_GETPOS, 0, 0);
                const long long span = high > low ? high - low : 1;
                return std::to_wstring(static_cast<long long>(at - low) * 100 / span) + L"%";
            };
            break;
        }
        default:
            break;
    }
    return facts;
}

LRESULT frmStart::handle(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
        case WM_PAINT:
            Art::paintBuffered(
                hwnd, [hwnd](HDC dc) { SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); });
            return 0;
        case WM_PRINTCLIENT: {
            RECT r;
            GetClientRect(hwnd, &r);
            Art::paintPage(reinterpret_cast<HDC>(w), {r.right, r.bottom}, m_layout.dpi(), m_layout.logoFont());
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN: {
            // Solid brushes: transparent backgrounds over painted areas come out black under Wine.
            HWND child = reinterpret_cast<HWND>(l);
            const auto* settings = m_view->find("pSettings");
            const bool onSettings = settings && GetParent(child) == settings->hwnd;
            const Palette p = Palette::current();
            const COLORREF back = onSettings ? p.box : p.page;
            auto& [brush, colour] = m_backBrushes[onSettings ? 1 : 0];
            if (!brush || colour != back) {
                brush.reset(CreateSolidBrush(back));
                colour = back;
            }
            SetBkColor(reinterpret_cast<HDC>(w), back);
            SetTextColor(reinterpret_cast<HDC>(w), p.text);
            return reinterpret_cast<LRESULT>(brush.get());
        }
        case WM_SYSCOLORCHANGE:
        case WM_SETTINGCHANGE:
        case WM_THEMECHANGED:
            // High contrast turned on or off, or its scheme changed: everything painted anew.
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
            break;
        case WM_MEASUREITEM: {
            auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(l);
            constexpr int kField = FormLayout::kListFieldHeight;
            item->itemHeight =
                static_cast<UINT>(m_layout.scale(item->itemID == static_cast<UINT>(-1) ? kField : kField - 1));
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<DRAWITEMSTRUCT*>(l);
            if (auto* c = m_view->find(item.hwndItem)) Art::paintChoice(item, *c, m_layout.font(*c), m_layout.dpi());
            return TRUE;
        }
        case WM_COMMAND:
            if (auto* c = l ? m_view->find(reinterpret_cast<HWND>(l)) : nullptr) command(*c, HIWORD(w));
            return 0;
        case WM_CONTEXTMENU:
            if (auto* c = m_view->find(reinterpret_cast<HWND>(w)); c && m_clicks->routesMenu(c->layout->name)) {
                contextMenu(*c, l);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (m_busy) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            // Windows' suggested place, at the size this scale's text needs.
            const auto* r = reinterpret_cast<const RECT*>(l);
            SetWindowPos(hwnd, nullptr, r->left, r->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            m_layout.setDpi(HIWORD(w));
            fitText(true);
            return 0;
        }
        case WM_ACTIVATE:
            // The focus leaves with the window and comes back to where it was, or to the page's
            // first control, never to the bare window where no key does anything.
            if (LOWORD(w) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd, focus)) m_lastFocus = focus;
            } else if (!HIWORD(w)) {
                if (m_lastFocus && IsWindowVisible(m_lastFocus) && IsWindowEnabled(m_lastFocus))
                    SetFocus(m_lastFocus);
                else
                    focusFirstControl();
            }
            return 0;
        case WM_DROPFILES: {
            // Files and folders dragged from Explorer become the File Shredder's choice, while
            // its page is shown and idle; elsewhere the drop is let go.
            const auto drop = reinterpret_cast<HDROP>(w);
            std::vector<std::string> paths;
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring path(length + 1, L'\0');
                if (DragQueryFileW(drop, i, path.data(), length + 1) != length) continue;
                path.resize(length);
                paths.push_back(narrow(path));
            }
            DragFinish(drop);
            auto* page = m_logic->shredderPage();
            if (page && !paths.empty() && page->choose(paths)) SetForegroundWindow(hwnd);
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

LRESULT frmStart::handleArt(NativeControl& c, UINT msg, WPARAM w, LPARAM l) {
    HWND hwnd = c.hwnd;
    const std::string& name = c.layout->name;
    const bool tabItem = startsWith(name, "imgP1Tab") || startsWith(name, "lblP1Tab");
    switch (msg) {
        case WM_PAINT:
            Art::paintBuffered(hwnd, [&](HDC dc) { Art::paintControl(c, dc, m_layout.font(c), m_layout.dpi()); });
            return 0;
        case WM_PRINTCLIENT:
            Art::paintControl(c, reinterpret_cast<HDC>(w), m_layout.font(c), m_layout.dpi());
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_SETTEXT: {
            const LRESULT done = DefWindowProcW(hwnd, msg, w, l);
            if (c.layout->kind == ControlKind::Label) m_layout.place(c);
            if (m_layout.stretchFor(c) > m_layout.stretch()) fitText(false);
            InvalidateRect(hwnd, nullptr, FALSE);
            return done;
        }
        case WM_ENABLE:
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_GETOBJECT:
            if (const LRESULT done = AccessibleControl::answer(hwnd, w, l, accessibleFacts(c))) return done;
            break;
        case WM_GETDLGCODE:
            return isStrip(name) ? DLGC_WANTARROWS : 0;
        case WM_KEYDOWN:
            if (isStrip(name)) return stripKey(c, w);
            break;
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            // The focus is drawn around the current tab, over which its hot area and caption lie.
            RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
            if (msg == WM_SETFOCUS && isStrip(name))
                NotifyWinEvent(EVENT_OBJECT_FOCUS, hwnd, OBJID_CLIENT, currentPage() + 1);
            return 0;
        case WM_GETFONT:  // what the caption is drawn in, for whoever measures it
            return reinterpret_cast<LRESULT>(m_layout.font(c));
        case WM_SETFONT:
            return 0;
        case WM_SETCURSOR:
            if (!m_busy && tabItem) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_MOUSEMOVE:
            if (tabItem) {
                TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
                TrackMouseEvent(&track);
                m_clicks->pointerOver(name);
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
            if (m_clicks->routes(name)) click(name);
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

void frmStart::command(NativeControl& c, int code) {
    const auto kind = c.layout->kind;
    if (kind == ControlKind::CheckBox && code == BN_CLICKED) {
        // A greyed box is ticked by its first click, as a clear one is.
        const bool ticked = SendMessageW(c.hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
        SendMessageW(c.hwnd, BM_SETCHECK, ticked ? BST_UNCHECKED : BST_CHECKED, 0);
        return;
    }
    // Every button is forwarded; a list only when picking in it has a handler.
    if ((kind == ControlKind::Button && code == BN_CLICKED) ||
        (kind == ControlKind::ComboBox && code == CBN_SELCHANGE && m_clicks->routes(c.layout->name)) ||
        (kind == ControlKind::ListBox && code == LBN_SELCHANGE && m_clicks->routes(c.layout->name)))
        click(c.layout->name);
}

// A right click picks the row under the pointer first, as it would in any list; the menu key and
// Shift+F10 (a position of -1, -1) open the menu under the picked row.
void frmStart::contextMenu(NativeControl& c, LPARAM at) {
    HWND list = c.hwnd;
    POINT p{GET_X_LPARAM(at), GET_Y_LPARAM(at)};
    if (p.x == -1 && p.y == -1) {
        RECT row{};
        const LRESULT picked = SendMessageW(list, LB_GETCURSEL, 0, 0);
        if (picked == LB_ERR ||
            SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(picked), reinterpret_cast<LPARAM>(&row)) == LB_ERR)
            row = RECT{0, 0, 0, 0};
        p = POINT{row.left + 8, row.bottom};
        ClientToScreen(list, &p);
    } else {
        POINT inside = p;
        ScreenToClient(list, &inside);
        const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(inside.x, inside.y));
        if (HIWORD(hit) == 0 && SendMessageW(list, LB_GETCURSEL, 0, 0) != LOWORD(hit)) {
            SendMessageW(list, LB_SETCURSEL, LOWORD(hit), 0);
            if (m_clicks->routes(c.layout->name)) click(c.layout->name);
        }
    }
    m_view->setMenuPoint(p);
    m_clicks->contextMenu(c.layout->name);
}

void frmStart::click(const std::string& name) {
    m_clicks->click(name);
    if (name == "cmdQuit" && m_logic->ending()) ShowWindow(m_hwnd, SW_HIDE);
}

}  // namespace quenvor::window::win32
