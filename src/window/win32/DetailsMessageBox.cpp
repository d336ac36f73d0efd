#include "window/win32/DetailsMessageBox.h"

// initguid.h first: the accessibility GUIDs are defined here, not looked for in a library.
#include <initguid.h>

#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <cstring>

#include "platform/windows/WideText.h"
#include "ui/Accelerator.h"

namespace quenvor::window::win32 {
namespace {

using platform::windows::narrow;
using platform::windows::widen;

// 96-dpi pixels, as Windows 10 lays out its own message box.
constexpr int kPad = 16;         // around the icon and the text
constexpr int kGap = 12;         // icon to text, text to list
constexpr int kTextWidth = 420;  // where the text wraps
constexpr int kStripPad = 11;    // around the row of buttons
constexpr int kButtonGap = 8;
constexpr int kButtonWidth = 88;  // the least a button is
constexpr int kListHeight = 280;
constexpr int kOpenWidth = 620;  // the least the box is with its list open
constexpr int kMeasured = 64;    // the longest lines measured to size the list's column

// Windows' own captions for the standard buttons, in its language; Wine lacks the call.
std::wstring standardCaption(UINT index, const wchar_t* fallback) {
    using GetString = LPCWSTR(WINAPI*)(UINT);
    static const auto get = reinterpret_cast<GetString>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "MB_GetString")));
    const wchar_t* s = get ? get(index) : nullptr;
    return s && *s ? s : fallback;
}

LPCWSTR systemIcon(ui::MsgIcon icon) {
    switch (icon) {
        case ui::MsgIcon::Critical:
            return IDI_ERROR;
        case ui::MsgIcon::Question:
            return IDI_QUESTION;
        case ui::MsgIcon::Exclamation:
            return IDI_WARNING;
        case ui::MsgIcon::Information:
            return IDI_INFORMATION;
        case ui::MsgIcon::None:
            break;
    }
    return nullptr;
}

UINT beepOf(ui::MsgIcon icon) {
    switch (icon) {
        case ui::MsgIcon::Critical:
            return MB_ICONERROR;
        case ui::MsgIcon::Question:
            return MB_ICONQUESTION;
        case ui::MsgIcon::Exclamation:
            return MB_ICONWARNING;
        case ui::MsgIcon::Information:
            return MB_ICONINFORMATION;
        case ui::MsgIcon::None:
            break;
    }
    return MB_OK;
}

SIZE textExtent(HDC dc, const std::wstring& s) {
    SIZE size{};
    GetTextExtentPoint32W(dc, s.c_str(), static_cast<int>(s.size()), &size);
    return size;
}

// Screen readers name a list by the label before it; this one has none, so it is told its name.
void nameForScreenReaders(HWND hwnd, const std::wstring& name) {
    IAccPropServices* props = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&props))) ||
        !props)
        return;
    (void)props->SetHwndPropStr(hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name.c_str());
    props->Release();
}

}  // namespace

DetailsMessageBox::DetailsMessageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                     ui::MsgIcon icon, ui::MsgDefault defaultButton, const std::string& detailsButton,
                                     const std::vector<std::string>& details)
    : m_text(widen(text)), m_title(widen(title)), m_buttonSet(buttons), m_icon(icon), m_details(details) {
    const bool hasYes = buttons == ui::MsgButtons::YesNo || buttons == ui::MsgButtons::YesNoCancel;
    if (hasYes) {
        m_buttons.push_back({IDYES, standardCaption(5, L"&Yes")});
        m_buttons.push_back({IDNO, standardCaption(6, L"&No")});
    } else {
        m_buttons.push_back({IDOK, standardCaption(0, L"OK")});
    }
    if (buttons == ui::MsgButtons::OkCancel || buttons == ui::MsgButtons::YesNoCancel)
        m_buttons.push_back({IDCANCEL, standardCaption(1, L"Cancel")});
    // The second button of each set, as MB_DEFBUTTON2 picks it.
    const bool second = defaultButton == ui::MsgDefault::Second && m_buttons.size() > 1;
    m_defaultId = m_buttons[second ? 1 : 0].id;
    std::string others;
    for (const auto& b : m_buttons) others += narrow(b.caption) + ' ';
    m_detailsCaption = widen(ui::Accelerator::mark(detailsButton, others));
    m_listName = widen(ui::Accelerator::plain(detailsButton));
}

int DetailsMessageBox::escapeId() const {
    switch (m_buttonSet) {
        case ui::MsgButtons::Ok:
            return IDOK;
        case ui::MsgButtons::YesNo:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

ui::MsgAnswer DetailsMessageBox::run(HWND owner) {
    // An empty template: the controls are made at the box's size once it knows its font and dpi.
    std::vector<WORD> buffer(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE head{};
    head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    head.dwExtendedStyle = WS_EX_DLGMODALFRAME;
    std::memcpy(buffer.data(), &head, sizeof head);
    buffer.push_back(0);  // no menu
    buffer.push_back(0);  // the dialog class
    for (wchar_t c : m_title) buffer.push_back(static_cast<WORD>(c));
    buffer.push_back(0);
    MessageBeep(beepOf(m_icon));
    const INT_PTR id =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(buffer.data()), owner,
                                &DetailsMessageBox::dialogProc, reinterpret_cast<LPARAM>(this));
    return answerOf(id);
}

ui::MsgAnswer DetailsMessageBox::answerOf(INT_PTR id) {
    switch (id) {
        case IDYES:
            return ui::MsgAnswer::Yes;
        case IDNO:
            return ui::MsgAnswer::No;
        case IDOK:
            return ui::MsgAnswer::Ok;
        default:
            return ui::MsgAnswer::Cancel;
    }
}

INT_PTR CALLBACK DetailsMessageBox::dialogProc(HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(dlg, DWLP_USER, lp);
        auto* self = reinterpret_cast<DetailsMessageBox*>(lp);
        self->m_dlg = dlg;
        self->create();
        return FALSE;  // the focus is set: on the default button
    }
    auto* self = reinterpret_cast<DetailsMessageBox*>(GetWindowLongPtrW(dlg, DWLP_USER));
    return self ? self->handle(msg, wp, lp) : FALSE;
}

void DetailsMessageBox::create() {
    HDC screen = GetDC(nullptr);
    m_dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        m_font.reset(CreateFontIndirectW(&metrics.lfMessageFont));
    const HINSTANCE self = GetModuleHandleW(nullptr);
    auto make = [&](const wchar_t* cls, const std::wstring& text, DWORD style, int id, DWORD ex = 0) {
        HWND hwnd = CreateWindowExW(ex, cls, text.c_str(), WS_CHILD | style, 0, 0, 0, 0, m_dlg,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), self, nullptr);
        SendMessageW(hwnd, WM_SETFONT,
                     reinterpret_cast<WPARAM>(m_font ? m_font.get() : GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return hwnd;
    };
    if (const LPCWSTR icon = systemIcon(m_icon)) {
        m_picture = make(L"STATIC", L"", WS_VISIBLE | SS_ICON, -1);
        SendMessageW(m_picture, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, icon)), 0);
    }
    m_label = make(L"STATIC", m_text, WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, -1);
    // Made before the buttons, so Tab reaches it first when it is shown: it stands above them.
    m_list = make(WC_LISTVIEWW, m_listName,
                  WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                  kListId, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    nameForScreenReaders(m_list, m_listName);
    m_toggle = make(L"BUTTON", m_detailsCaption, WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX | BS_PUSHLIKE, kDetailsId);
    for (auto& b : m_buttons)
        b.hwnd = make(L"BUTTON", b.caption,
                      WS_VISIBLE | WS_TABSTOP | (b.id == m_defaultId ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), b.id);
    SendMessageW(m_dlg, DM_SETDEFID, static_cast<WPARAM>(m_defaultId), 0);
    measure();
    place(false);
    for (const auto& b : m_buttons)
        if (b.id == m_defaultId) SetFocus(b.hwnd);
}

void DetailsMessageBox::measure() {
    HDC dc = GetDC(m_dlg);
    HGDIOBJ before = SelectObject(dc, m_font ? m_font.get() : GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, scale(kTextWidth), 0};
    DrawTextW(dc, m_text.c_str(), static_cast<int>(m_text.size()), &r,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS | DT_EDITCONTROL);
    m_textSize = {r.right - r.left, r.bottom - r.top};
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    m_buttonHeight = std::max(scale(26), static_cast<int>(tm.tmHeight) + scale(10));
    auto widthOf = [&](const std::wstring& caption) {
        std::wstring shown = widen(ui::Accelerator::plain(narrow(caption)));
        return std::max(scale(kButtonWidth), static_cast<int>(textExtent(dc, shown).cx) + scale(24));
    };
    for (auto& b : m_buttons) b.width = widthOf(b.caption);
    m_toggleWidth = widthOf(m_detailsCaption);
    SelectObject(dc, before);
    ReleaseDC(m_dlg, dc);
}

void DetailsMessageBox::place(bool open) {
    const int iconSide = m_picture ? GetSystemMetrics(SM_CXICON) : 0;
    const int textLeft = scale(kPad) + (m_picture ? iconSide + scale(kGap) : 0);
    const int contentHeight = std::max<int>(iconSide, m_textSize.cy);
    int buttonsWidth = scale(kStripPad) * 2 + m_toggleWidth + scale(kGap) * 2;
    for (const auto& b : m_buttons) buttonsWidth += b.width + scale(kButtonGap);
    int width = std::max({textLeft + static_cast<int>(m_textSize.cx) + scale(kPad), buttonsWidth, scale(300)});
    HMONITOR monitor =
        MonitorFromWindow(GetWindow(m_dlg, GW_OWNER) ? GetWindow(m_dlg, GW_OWNER) : m_dlg, MONITOR_DEFAULTTONEAREST);
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    GetMonitorInfoW(monitor, &screen);
    const RECT work = screen.rcWork;
    int listHeight = 0;
    if (open) {
        width = std::max(width, std::min(scale(kOpenWidth), static_cast<int>(work.right - work.left) * 9 / 10));
        listHeight = std::min(scale(kListHeight), static_cast<int>(work.bottom - work.top) / 2);
    }
    int y = scale(kPad);
    if (m_picture) MoveWindow(m_picture, scale(kPad), y, iconSide, iconSide, FALSE);
    // A line or two stands level with the middle of the icon, as in Windows' own box.
    MoveWindow(m_label, textLeft, y + std::max(0, (contentHeight - static_cast<int>(m_textSize.cy)) / 2), m_textSize.cx,
               m_textSize.cy, FALSE);
    y += contentHeight + scale(kPad);
    if (open) {
        y = y - scale(kPad) + scale(kGap);
        MoveWindow(m_list, scale(kPad), y, width - scale(kPad) * 2, listHeight, FALSE);
        y += listHeight + scale(kPad);
    }
    ShowWindow(m_list, open ? SW_SHOW : SW_HIDE);
    m_stripTop = y;
    const int buttonTop = y + scale(kStripPad);
    MoveWindow(m_toggle, scale(kStripPad), buttonTop, m_toggleWidth, m_buttonHeight, FALSE);
    int x = width - scale(kStripPad);
    for (auto it = m_buttons.rbegin(); it != m_buttons.rend(); ++it) {
        x -= it->width;
        MoveWindow(it->hwnd, x, buttonTop, it->width, m_buttonHeight, FALSE);
        x -= scale(kButtonGap);
    }
    const int height = buttonTop + m_buttonHeight + scale(kStripPad);
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(m_dlg, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(m_dlg, GWL_EXSTYLE)));
    const int outerWidth = frame.right - frame.left, outerHeight = frame.bottom - frame.top;
    RECT now{};
    GetWindowRect(m_dlg, &now);
    int left = now.left, top = now.top;
    if (!IsWindowVisible(m_dlg)) {
        // Centred over the window that asks, or on its screen.
        RECT over = work;
        if (HWND owner = GetWindow(m_dlg, GW_OWNER); owner && IsWindowVisible(owner) && !IsIconic(owner))
            GetWindowRect(owner, &over);
        left = over.left + (over.right - over.left - outerWidth) / 2;
        top = over.top + (over.bottom - over.top - outerHeight) / 2;
    } else {
        // Opened or closed, it stays centred where it stood.
        left = now.left + (now.right - now.left - outerWidth) / 2;
    }
    left = std::clamp<int>(left, work.left, std::max<int>(work.left, work.right - outerWidth));
    top = std::clamp<int>(top, work.top, std::max<int>(work.top, work.bottom - outerHeight));
    SetWindowPos(m_dlg, nullptr, left, top, outerWidth, outerHeight, SWP_NOZORDER | SWP_NOACTIVATE);
    if (open) fillList();
    InvalidateRect(m_dlg, nullptr, TRUE);
}

void DetailsMessageBox::fillList() {
    RECT client{};
    GetClientRect(m_list, &client);
    if (!m_filled) {
        m_filled = true;
        // The column is as wide as the longest lines: sized from the longest few by their
        // length, not by measuring every line, which would cost more than the list itself.
        std::vector<std::size_t> order(m_details.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        const std::size_t measured = std::min<std::size_t>(order.size(), kMeasured);
        std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(measured), order.end(),
                          [&](std::size_t a, std::size_t b) { return m_details[a].size() > m_details[b].size(); });
        HDC dc = GetDC(m_list);
        HGDIOBJ before = SelectObject(dc, m_font ? m_font.get() : GetStockObject(DEFAULT_GUI_FONT));
        int widest = 0;
        for (std::size_t i = 0; i < measured; ++i)
            widest = std::max<int>(widest, textExtent(dc, widen(m_details[order[i]])).cx);
        SelectObject(dc, before);
        ReleaseDC(m_list, dc);
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH;
        column.cx = std::max<int>(widest + scale(12), client.right - GetSystemMetrics(SM_CXVSCROLL));
        ListView_InsertColumn(m_list, 0, &column);
        ListView_SetItemCountEx(m_list, static_cast<int>(std::min<std::size_t>(m_details.size(), INT_MAX)),
                                LVSICF_NOINVALIDATEALL);
        return;
    }
    const int wanted = client.right - GetSystemMetrics(SM_CXVSCROLL);
    if (ListView_GetColumnWidth(m_list, 0) < wanted) ListView_SetColumnWidth(m_list, 0, wanted);
}

INT_PTR DetailsMessageBox::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND: {
            const int id = LOWORD(wp);
            if (id == kDetailsId) {
                if (HIWORD(wp) == BN_CLICKED) place(SendMessageW(m_toggle, BM_GETCHECK, 0, 0) == BST_CHECKED);
                return TRUE;
            }
            // Esc and the title bar's close come as IDCANCEL: the answer that changes nothing.
            if (id == IDCANCEL && m_buttonSet != ui::MsgButtons::OkCancel &&
                m_buttonSet != ui::MsgButtons::YesNoCancel) {
                EndDialog(m_dlg, escapeId());
                return TRUE;
            }
            for (const auto& b : m_buttons)
                if (b.id == id) {
                    EndDialog(m_dlg, id);
                    return TRUE;
                }
            return FALSE;
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lp);
            if (header->idFrom == static_cast<UINT_PTR>(kListId) && header->code == LVN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMLVDISPINFOW*>(lp);
                const auto row = static_cast<std::size_t>(info->item.iItem);
                if ((info->item.mask & LVIF_TEXT) && row < m_details.size() && info->item.cchTextMax > 0) {
                    m_row = widen(m_details[row]);
                    const auto n =
                        std::min<std::size_t>(m_row.size(), static_cast<std::size_t>(info->item.cchTextMax) - 1);
                    std::wmemcpy(info->item.pszText, m_row.data(), n);
                    info->item.pszText[n] = L'\0';
                }
                return TRUE;
            }
            return FALSE;
        }
        case WM_ERASEBKGND: {
            // Windows' own box: the question on the window colour, the buttons on a strip below.
            HDC dc = reinterpret_cast<HDC>(wp);
            RECT client{};
            GetClientRect(m_dlg, &client);
            RECT top = client, strip = client;
            top.bottom = strip.top = m_stripTop;
            FillRect(dc, &top, GetSysColorBrush(COLOR_WINDOW));
            FillRect(dc, &strip, GetSysColorBrush(COLOR_BTNFACE));
            SetWindowLongPtrW(m_dlg, DWLP_MSGRESULT, 1);
            return TRUE;
        }
        case WM_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            SetBkColor(dc, GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        }
        default:
            return FALSE;
    }
}

}  // namespace quenvor::window::win32
