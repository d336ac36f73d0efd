#pragma once
// One control of the window as built: its entry in the form design, its window, and what the
// page logic set on it that the native control does not keep itself.
#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/FormDesign.h"

namespace quenvor::window::win32 {

struct NativeControl {
    const ui::ControlSpec* layout = nullptr;
    HWND hwnd = nullptr;
    bool bold = false;
    std::string placeholder;  // a pick-only list's text while nothing is picked
    // A button's or option's caption as the logic set it; the window text may mark another
    // letter, so that no two controls of a page answer one Alt key.
    std::string caption;
    std::int64_t progressMax = 100, progressValue = 0;

    std::wstring text() const {
        std::wstring t(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
        t.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, t.data(), static_cast<int>(t.size()))));
        return t;
    }
    // Item `index` of a list's drop-down; empty when there is none.
    std::wstring item(int index) const {
        const LRESULT length = SendMessageW(hwnd, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
        if (length == CB_ERR) return {};
        std::wstring t(static_cast<std::size_t>(length) + 1, L'\0');
        SendMessageW(hwnd, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(t.data()));
        t.resize(static_cast<std::size_t>(length));
        return t;
    }
};

}  // namespace quenvor::window::win32
