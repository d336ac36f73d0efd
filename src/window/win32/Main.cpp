#include "window/win32/Main.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "platform/NativePlatform.h"
#include "shell/AppServices.h"
#include "window/win32/ShellDocumentOpener.h"
#include "window/win32/Win32UiServices.h"
#include "window/win32/frmStart.h"

namespace quenvor::window::win32 {

int Main() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // The folder picker is a shell object and wants a single-threaded apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    platform::NativePlatform native;
    shell::AppServices app(native.services());
    auto& services = app.services();
    ShellDocumentOpener opener;
    services.opener = &opener;

    Win32UiServices ui;
    int code = 0;
    {
        frmStart form(ui, services);
        ui.setWindow(&form);
        form.logic().Form_Load();
        ShowWindow(form.hwnd(), SW_SHOWNORMAL);
        UpdateWindow(form.hwnd());
        form.logic().Form_Shown();
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (form.translateKey(msg) || IsDialogMessageW(form.hwnd(), &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        code = static_cast<int>(msg.wParam);
        ui.setWindow(nullptr);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}

}  // namespace quenvor::window::win32
