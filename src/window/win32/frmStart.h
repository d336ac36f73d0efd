#pragma once
// The one window of the program as native Win32 controls: made from the form design, its
// messages turned into the page logic's events. What the logic sets on the controls goes
// through FormView, what the window draws through Art, where they stand through FormLayout.
#include <windows.h>

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "platform/PlatformServices.h"
#include "shell/ClickRouter.h"
#include "shell/StartForm.h"
#include "window/win32/AccessibleControl.h"
#include "window/win32/FormLayout.h"
#include "window/win32/FormView.h"
#include "window/win32/GdiObject.h"

namespace quenvor::window::win32 {

class frmStart {
public:
    frmStart(ui::IUiServices& ui, platform::PlatformServices services);
    ~frmStart();
    frmStart(const frmStart&) = delete;
    frmStart& operator=(const frmStart&) = delete;

    HWND hwnd() const { return m_hwnd; }
    HWND control(const std::string& name) const { return m_view->control(name); }
    std::string nameOf(HWND hwnd) const { return m_view->nameOf(hwnd); }
    FormView& view() { return *m_view; }
    shell::StartForm& logic() { return *m_logic; }
    int dpi() const { return m_layout.dpi(); }
    // The page shown, 0 to 3: the one whose tab strip is visible.
    int currentPage() const { return m_view->page(); }
    // The keys that work the window as a whole, before the dialog keys see them: Ctrl+Tab,
    // Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp step through the pages. True when taken.
    bool translateKey(const MSG& msg);
    // The first control of the page shown, in keyboard order, takes the focus.
    void focusFirstControl();
    // The client area the layout asks for (a screen smaller than that may clamp the window).
    SIZE clientSize() const { return m_layout.clientSize(); }
    void setBusyPointer(bool busy) { m_busy = busy; }

private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK artProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK nativeProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT handle(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleArt(NativeControl&, UINT, WPARAM, LPARAM);
    void buildControls();
    // What screen readers are told about `c` beyond what its window class says.
    AccessibleControl::Facts accessibleFacts(const NativeControl& c);
    void fitText(bool fresh);
    void command(NativeControl& c, int code);
    void click(const std::string& name);
    void contextMenu(NativeControl& c, LPARAM at);
    // Shows page `page` as a click on its tab does; the focus goes to its strip when `onStrip`,
    // to its first control otherwise.
    void showPage(int page, bool onStrip);
    LRESULT stripKey(NativeControl& strip, WPARAM key);

    HWND m_hwnd = nullptr;
    HWND m_lastFocus = nullptr;  // given back when the window is active again
    bool m_busy = false;
    FormLayout m_layout;
    // The backgrounds behind the buttons and the option boxes (the page's, the settings box's),
    // each made again when the colour it needs changes.
    std::array<std::pair<GdiObject<HBRUSH>, COLORREF>, 2> m_backBrushes;
    std::unique_ptr<FormView> m_view;
    std::unique_ptr<shell::StartForm> m_logic;
    std::unique_ptr<shell::ClickRouter> m_clicks;
};

}  // namespace quenvor::window::win32
