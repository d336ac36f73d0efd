#include "window/win32/FormView.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <limits>
#include <stdexcept>

#include "platform/windows/WideText.h"
#include "ui/Accelerator.h"
#include "window/win32/Art.h"
#include "window/win32/MemoryDC.h"

namespace quenvor::window::win32 {

using platform::windows::narrow;
using platform::windows::widen;
using ui::ControlKind;
using ui::FormDesign;

FormView::FormView(HWND window, FormLayout& layout) : m_window(window), m_layout(layout) {}

NativeControl& FormView::add(const ui::ControlSpec& layout, HWND hwnd) {
    if (layout.elideMiddle) addTip(hwnd);
    auto& c = m_controls[layout.name] = NativeControl{&layout, hwnd, layout.bold, {}, {}, 100, 0};
    if (layout.kind == ControlKind::Button || layout.kind == ControlKind::CheckBox) c.caption = narrow(c.text());
    m_names.push_back(layout.name);
    m_order.push_back(layout.name);
    m_byHandle[hwnd] = layout.name;
    return c;
}

NativeControl* FormView::find(const std::string& name) {
    auto it = m_controls.find(name);
    return it == m_controls.end() ? nullptr : &it->second;
}

NativeControl* FormView::find(HWND hwnd) {
    auto it = m_byHandle.find(hwnd);
    return it == m_byHandle.end() ? nullptr : &m_controls.at(it->second);
}

// The whole of a shortened caption is its tooltip; the control's own text, which accessibility
// tools read as its name, stays whole too.
void FormView::addTip(HWND control) {
    if (!m_tips)
        m_tips = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!m_tips) return;  // no tooltip: the caption still holds the whole text
    SendMessageW(m_tips, TTM_SETMAXTIPWIDTH, 0, m_layout.scale(600));
    TOOLINFOW tip{};
    tip.cbSize = TTTOOLINFOW_V2_SIZE;
    tip.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tip.hwnd = m_window;
    tip.uId = reinterpret_cast<UINT_PTR>(control);
    tip.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(m_tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tip));
}

std::string FormView::shownCaption(const std::string& name) {
    auto& c = at(name);
    if (!c.layout->elideMiddle) return narrow(c.text());
    const MemoryDC dc;
    return narrow(Art::elided(c, dc.get(), m_layout.font(c)));
}

std::string FormView::toolTip(const std::string& name) {
    if (!m_tips) return {};
    std::wstring text(32768, L'\0');
    TOOLINFOW tip{};
    tip.cbSize = TTTOOLINFOW_V2_SIZE;
    tip.hwnd = m_window;
    tip.uId = reinterpret_cast<UINT_PTR>(at(name).hwnd);
    tip.lpszText = text.data();
    SendMessageW(m_tips, TTM_GETTEXTW, text.size(), reinterpret_cast<LPARAM>(&tip));
    text.resize(wcslen(text.c_str()));
    return narrow(text);
}

HWND FormView::control(const std::string& name) const {
    auto it = m_controls.find(name);
    if (it == m_controls.end()) throw std::out_of_range("no control named " + name);
    return it->second.hwnd;
}

std::string FormView::nameOf(HWND hwnd) const {
    auto it = m_byHandle.find(hwnd);
    return it == m_byHandle.end() ? std::string() : it->second;
}

NativeControl& FormView::at(const std::string& name) {
    auto it = m_controls.find(name);
    if (it == m_controls.end()) throw std::out_of_range("no control named " + name);
    return it->second;
}

NativeControl& FormView::of(const std::string& name, ControlKind kind) {
    auto& c = at(name);
    if (c.layout->kind != kind) throw std::invalid_argument(name + " is not that kind of control");
    return c;
}

std::vector<std::string> FormView::controlNames() { return m_names; }

std::optional<std::string> FormView::caption(const std::string& name) {
    auto& c = at(name);
    switch (c.layout->kind) {
        case ControlKind::Label:
            return narrow(c.text());
        case ControlKind::Button:
        case ControlKind::CheckBox:
            return c.caption;
        default:
            return std::nullopt;
    }
}

// The window's own buttons come last in the round and stand on every page: they keep their
// letters, and a control of the page that repeats one, or has none, is marked on a free letter
// instead. A letter belongs to a control only while it is shown.
void FormView::markAccessKeys() {
    std::string taken;
    for (auto it = m_order.rbegin(); it != m_order.rend(); ++it) {
        auto* c = find(*it);
        if (!c || (c->layout->kind != ControlKind::Button && c->layout->kind != ControlKind::CheckBox)) continue;
        std::string shown = c->caption;
        if (IsWindowVisible(c->hwnd)) {
            const char letter = ui::Accelerator::key(shown);
            if (!letter || taken.find(std::string("&") + letter) != std::string::npos)
                shown = ui::Accelerator::mark(ui::Accelerator::plain(shown), taken);
            const char kept = ui::Accelerator::key(shown);
            if (kept) taken += std::string(" &") + kept;
        }
        const std::wstring wide = widen(shown);
        if (c->text() != wide) SetWindowTextW(c->hwnd, wide.c_str());
    }
}

void FormView::setCaption(const std::string& name, const std::string& text) {
    auto& c = at(name);
    const auto kind = c.layout->kind;
    if (kind != ControlKind::Label && kind != ControlKind::Button && kind != ControlKind::CheckBox)
        throw std::invalid_argument(name + " has no caption");
    const std::wstring wide = widen(text);
    if (kind != ControlKind::Label) {
        c.caption = text;
        markAccessKeys();
        return;
    }
    SetWindowTextW(c.hwnd, wide.c_str());
    if (c.layout->elideMiddle && m_tips) {
        TOOLINFOW tip{};
        tip.cbSize = TTTOOLINFOW_V2_SIZE;
        tip.hwnd = m_window;
        tip.uId = reinterpret_cast<UINT_PTR>(c.hwnd);
        tip.lpszText = const_cast<wchar_t*>(wide.c_str());
        SendMessageW(m_tips, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tip));
    }
}

void FormView::setWindowCaption(const std::string& text) { SetWindowTextW(m_window, widen(text).c_str()); }

void FormView::closeWindow() { SendMessageW(m_window, WM_CLOSE, 0, 0); }

void FormView::setVisible(const std::string& name, bool visible) {
    auto& c = at(name);
    if (((GetWindowLongW(c.hwnd, GWL_STYLE) & WS_VISIBLE) != 0) == visible) return;
    ShowWindow(c.hwnd, visible ? SW_SHOWNA : SW_HIDE);
    if (c.layout->takesFocus || c.layout->kind == ControlKind::PictureBox) markAccessKeys();
}
bool FormView::isVisible(const std::string& name) {
    return (GetWindowLongW(at(name).hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}
void FormView::setEnabled(const std::string& name, bool enabled) { EnableWindow(at(name).hwnd, enabled); }
bool FormView::isEnabled(const std::string& name) { return IsWindowEnabled(at(name).hwnd) != FALSE; }

void FormView::setBold(const std::string& name, bool bold) {
    auto& c = at(name);
    if (c.bold == bold) return;
    c.bold = bold;
    m_layout.place(c);  // a caption sized to its text grows with a bold face
}

bool FormView::isBold(const std::string& name) { return at(name).bold; }

// The four tab strips lie on one another; the page shown is the one whose strip is in front,
// and only that strip is a stop of the Tab key's round.
void FormView::bringToFront(const std::string& name) {
    SetWindowPos(at(name).hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (name.rfind("pTab1_", 0) != 0) return;
    m_page = name.back() - '0';
    for (int page = 0; page < ui::kTabCount; ++page) {
        HWND strip = at(FormDesign::member("pTab1", page)).hwnd;
        const LONG style = GetWindowLongW(strip, GWL_STYLE);
        SetWindowLongW(strip, GWL_STYLE, page == m_page ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
    }
}

void FormView::setTabStop(const std::string& name, bool on) {
    auto& c = at(name);
    if (!c.layout->takesFocus) return;
    LONG style = GetWindowLongW(c.hwnd, GWL_STYLE);
    style = on ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP);
    SetWindowLongW(c.hwnd, GWL_STYLE, style);
}

// The dialog keys go by z-order: each focusable control is put on top, last first. Controls of
// one parent keep the order among themselves; the settings box moves with its first control.
void FormView::applyTabOrder(const std::vector<std::string>& order) {
    m_order = order;
    markAccessKeys();
    std::vector<HWND> focusable;
    for (const auto& name : order) {
        const auto* layout = FormDesign::find(name);
        if (layout && layout->takesFocus) focusable.push_back(at(name).hwnd);
    }
    for (auto it = focusable.rbegin(); it != focusable.rend(); ++it) {
        HWND hwnd = *it;
        SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        if (GetParent(hwnd) != m_window)
            SetWindowPos(GetParent(hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void FormView::clearList(const std::string& name) {
    SendMessageW(of(name, ControlKind::ListBox).hwnd, LB_RESETCONTENT, 0, 0);
}
void FormView::addListItem(const std::string& name, const std::string& text) {
    SendMessageW(of(name, ControlKind::ListBox).hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

std::vector<std::string> FormView::listItems(const std::string& name) {
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

// The list is not redrawn, and its storage is reserved once, while the rows go in: a long list
// then costs one paint rather than one per row.
void FormView::setListItems(const std::string& name, const std::vector<std::string>& items) {
    HWND list = of(name, ControlKind::ListBox).hwnd;
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    std::vector<std::wstring> wide;
    wide.reserve(items.size());
    std::size_t bytes = 0;
    for (const auto& item : items) {
        wide.push_back(widen(item));
        bytes += (wide.back().size() + 1) * sizeof(wchar_t);
    }
    SendMessageW(list, LB_INITSTORAGE, static_cast<WPARAM>(wide.size()), static_cast<LPARAM>(bytes));
    for (const auto& row : wide) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

std::string FormView::listItem(const std::string& name, int index) {
    HWND list = of(name, ControlKind::ListBox).hwnd;
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (index < 0 || length == LB_ERR) return {};
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto n = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(std::max<LRESULT>(n, 0)));
    return narrow(text);
}

// A list box has no way to change a row's text: the row is put back in its place, and the pick
// and the scroll position are kept.
void FormView::setListItemText(const std::string& name, int index, const std::string& text) {
    HWND list = of(name, ControlKind::ListBox).hwnd;
    const auto count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (index < 0 || index >= count) return;
    const LRESULT picked = SendMessageW(list, LB_GETCURSEL, 0, 0);
    const LRESULT top = SendMessageW(list, LB_GETTOPINDEX, 0, 0);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
    SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(widen(text).c_str()));
    if (picked != LB_ERR) SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(picked), 0);
    SendMessageW(list, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

int FormView::listSelectedIndex(const std::string& name) {
    const LRESULT picked = SendMessageW(of(name, ControlKind::ListBox).hwnd, LB_GETCURSEL, 0, 0);
    return picked == LB_ERR ? -1 : static_cast<int>(picked);
}

int FormView::popupMenu(const std::string& name, const std::vector<ui::MenuChoice>& choices) {
    of(name, ControlKind::ListBox);
    HMENU menu = CreatePopupMenu();
    if (!menu) return -1;
    UINT id = 1;
    for (const auto& c : choices)
        AppendMenuW(menu, MF_STRING | (c.enabled ? MF_ENABLED : MF_GRAYED), id++, widen(c.text).c_str());
    const BOOL taken = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN, m_menuAt.x,
                                      m_menuAt.y, 0, m_window, nullptr);
    DestroyMenu(menu);
    return taken > 0 ? static_cast<int>(taken) - 1 : -1;
}

// Adding an item selects nothing, so the first one is never picked behind the user's back.
void FormView::addComboItem(const std::string& name, const std::string& text) {
    SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
}

void FormView::setComboText(const std::string& name, const std::string& text) {
    auto& c = of(name, ControlKind::ComboBox);
    if (c.layout->editable) {
        SetWindowTextW(c.hwnd, widen(text).c_str());
    } else {
        SendMessageW(c.hwnd, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        c.placeholder = text;
        InvalidateRect(c.hwnd, nullptr, TRUE);
    }
}

std::string FormView::comboText(const std::string& name) {
    auto& c = of(name, ControlKind::ComboBox);
    if (c.layout->editable) return narrow(c.text());
    const auto index = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
    return index < 0 ? c.placeholder : narrow(c.item(index));
}

int FormView::comboSelectedIndex(const std::string& name) {
    auto& c = of(name, ControlKind::ComboBox);
    const auto index = static_cast<int>(SendMessageW(c.hwnd, CB_GETCURSEL, 0, 0));
    // Text typed over the item is no selection.
    if (c.layout->editable && index >= 0 && c.text() != c.item(index)) return -1;
    return index < 0 ? -1 : index;
}

void FormView::setComboSelectedIndex(const std::string& name, int index) {
    SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void FormView::setComboItemData(const std::string& name, int index, std::int32_t value) {
    SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_SETITEMDATA, static_cast<WPARAM>(index),
                 static_cast<LPARAM>(value));
}

std::int32_t FormView::comboItemData(const std::string& name, int index) {
    const LRESULT v = SendMessageW(of(name, ControlKind::ComboBox).hwnd, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    return v == CB_ERR ? 0 : static_cast<std::int32_t>(v);
}

int FormView::checkValue(const std::string& name) {
    switch (SendMessageW(of(name, ControlKind::CheckBox).hwnd, BM_GETCHECK, 0, 0)) {
        case BST_UNCHECKED:
            return 0;
        case BST_CHECKED:
            return 1;
        default:
            return 2;
    }
}

void FormView::setCheckValue(const std::string& name, int value) {
    const WPARAM state = value == 0 ? BST_UNCHECKED : value == 1 ? BST_CHECKED : BST_INDETERMINATE;
    SendMessageW(of(name, ControlKind::CheckBox).hwnd, BM_SETCHECK, state, 0);
}

// The bar counts in 32 bits; larger counts are scaled so any 64-bit count can be shown.
void FormView::setProgressMax(const std::string& name, std::int64_t max) {
    auto& c = of(name, ControlKind::ProgressBar);
    c.progressMax = max;
    const auto shown = static_cast<LPARAM>(std::clamp<std::int64_t>(max, 0, std::numeric_limits<int>::max()));
    SendMessageW(c.hwnd, PBM_SETRANGE32, 0, shown);
    setProgressValue(name, c.progressValue);
}

std::int64_t FormView::progressMax(const std::string& name) { return of(name, ControlKind::ProgressBar).progressMax; }

void FormView::setProgressValue(const std::string& name, std::int64_t value) {
    auto& c = of(name, ControlKind::ProgressBar);
    c.progressValue = value;
    const std::int64_t shownMax = std::clamp<std::int64_t>(c.progressMax, 0, std::numeric_limits<int>::max());
    const std::int64_t shown =
        c.progressMax > shownMax && c.progressMax > 0
            ? static_cast<std::int64_t>(static_cast<long double>(value) * shownMax / c.progressMax)
            : value;
    SendMessageW(c.hwnd, PBM_SETPOS, static_cast<WPARAM>(std::clamp<std::int64_t>(shown, 0, shownMax)), 0);
}

std::int64_t FormView::progressValue(const std::string& name) {
    return of(name, ControlKind::ProgressBar).progressValue;
}

}  // namespace quenvor::window::win32
