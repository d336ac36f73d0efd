// Drives quenvor.exe from outside, as a user at it would, through its window handles: finds the
// window, clicks tabs and buttons, types into the folder dialog, answers and reads the message
// boxes, and photographs the window. Controls are found by their place in the form design, which
// gives each its id.
//   window-driver <quenvor.exe> shots <folder> <language id>   one picture per page
//   window-driver <quenvor.exe> shred <folder>                 shreds <folder> through the dialog
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/windows/WideText.h"
#include "platform/windows/WindowsSettingsStore.h"
#include "ui/FormDesign.h"
#include "window/win32/GdiObject.h"
#include "window/win32/MemoryDC.h"
#include "window/win32/SelectedObject.h"

using quenvor::platform::windows::narrow;
using quenvor::platform::windows::widen;
using quenvor::window::win32::GdiObject;
using quenvor::window::win32::MemoryDC;
using quenvor::window::win32::SelectedObject;

namespace {

DWORD g_pid = 0;

[[noreturn]] void fail(const std::string& why) {
    std::printf("FAILED: %s\n", why.c_str());
    std::fflush(stdout);
    std::exit(1);
}

template <class F>
bool waitFor(F ready, int seconds = 30) {
    for (int i = 0; i < seconds * 20; ++i) {
        if (ready()) return true;
        Sleep(50);
    }
    return false;
}

std::wstring classOf(HWND hwnd) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring textOf(HWND hwnd) {
    wchar_t text[4096] = {};
    GetWindowTextW(hwnd, text, 4096);
    return text;
}

// The program's visible top-level windows of one class.
std::vector<HWND> windowsOf(const wchar_t* cls) {
    struct Find {
        const wchar_t* cls;
        std::vector<HWND> found;
    } find{cls, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM l) -> BOOL {
            auto* f = reinterpret_cast<Find*>(l);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            if (pid == g_pid && IsWindowVisible(hwnd) && classOf(hwnd) == f->cls) f->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

HWND control(HWND form, const std::string& name) {
    const auto& design = quenvor::ui::FormDesign::controls();
    int id = -1;
    for (std::size_t i = 0; i < design.size(); ++i)
        if (design[i].name == name) id = 1000 + static_cast<int>(i);
    struct Find {
        int id;
        HWND found;
    } find{id, nullptr};
    EnumChildWindows(
        form,
        [](HWND hwnd, LPARAM l) -> BOOL {
            auto* f = reinterpret_cast<Find*>(l);
            if (GetDlgCtrlID(hwnd) == f->id) f->found = hwnd;
            return f->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&find));
    if (!find.found) fail("no control " + name);
    return find.found;
}

void clickTab(HWND form, const std::string& name) {
    HWND hot = control(form, name);
    PostMessageW(hot, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(hot, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Sleep(700);
}

void photograph(HWND hwnd, const std::wstring& file) {
    RECT r;
    GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    const MemoryDC mem(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const GdiObject<HBITMAP> bmp(CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    const SelectedObject into(mem.get(), bmp.get());
    BitBlt(mem.get(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3), size = stride * static_cast<DWORD>(h);
    BITMAPFILEHEADER fh{0x4d42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                        static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
    HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(f, &fh, sizeof fh, &done, nullptr);
    WriteFile(f, &bi.bmiHeader, sizeof bi.bmiHeader, &done, nullptr);
    WriteFile(f, bits, size, &done, nullptr);
    CloseHandle(f);
    ReleaseDC(nullptr, screen);
}

HWND visibleEdit(HWND dialog) {
    HWND found = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND hwnd, LPARAM l) -> BOOL {
            if (classOf(hwnd) == L"Edit" && IsWindowVisible(hwnd)) {
                *reinterpret_cast<HWND*>(l) = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

int shred(HWND form, const std::wstring& folder, const std::wstring& shot) {
    clickTab(form, "imgP1Tab2_0");
    if (!IsWindowVisible(control(form, "cmdFolder"))) fail("the File Shredder page did not open");
    PostMessageW(control(form, "cmdFolder"), BM_CLICK, 0, 0);
    HWND dialog = nullptr;
    if (!waitFor([&] {
            const auto boxes = windowsOf(L"#32770");
            dialog = boxes.empty() ? nullptr : boxes.front();
            return dialog && visibleEdit(dialog);
        }))
        fail("no folder dialog");
    std::printf("dialog: %s\n", narrow(textOf(dialog)).c_str());
    Sleep(500);
    HWND edit = visibleEdit(dialog);
    for (wchar_t ch : folder) PostMessageW(edit, WM_CHAR, ch, 1);
    Sleep(300);
    PostMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(edit, WM_KEYUP, VK_RETURN, 0xC0000001);
    if (!waitFor([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); })) fail("the folder dialog stayed open");
    HWND del = control(form, "cmdDelete");
    if (!waitFor([&] { return IsWindowEnabled(del) != FALSE; }, 10)) fail("Delete stayed disabled");
    // The page as the user sees it before Delete: the chosen folder named under the buttons.
    if (!shot.empty()) photograph(form, shot);
    PostMessageW(del, BM_CLICK, 0, 0);
    // Each question is answered Yes; the box with OK alone is the last word.
    for (int boxes = 0; boxes < 6; ++boxes) {
        HWND box = nullptr;
        if (!waitFor(
                [&] {
                    const auto found = windowsOf(L"#32770");
                    box = found.empty() ? nullptr : found.front();
                    return box != nullptr;
                },
                120))
            fail("no message after Delete");
        Sleep(300);
        const std::string text = narrow(textOf(GetDlgItem(box, 0xFFFF)));
        if (GetDlgItem(box, IDYES)) {
            std::printf("question: %s\n", text.c_str());
            PostMessageW(box, WM_COMMAND, IDYES, 0);
        } else {
            std::printf("final: %s\n", text.c_str());
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        waitFor([&] { return !IsWindow(box); }, 10);
    }
    fail("too many questions");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) fail("usage: window-driver <quenvor.exe> shots <folder> <language> | shred <folder> [<picture>]");
    const std::wstring mode = argv[2];
    quenvor::platform::windows::WindowsSettingsStore settings;
    (void)settings.write("QUENVOR", "SETTINGS", "LANGUAGE", mode == L"shots" && argc > 4 ? narrow(argv[4]) : "1053");

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    if (!CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        fail("quenvor.exe did not start");
    g_pid = pi.dwProcessId;
    HWND form = nullptr;
    if (!waitFor([&] {
            const auto found = windowsOf(L"QuenvorStart");
            form = found.empty() ? nullptr : found.front();
            return form != nullptr;
        }))
        fail("no main window");
    Sleep(1500);
    RECT client;
    GetClientRect(form, &client);
    std::printf("window: \"%s\" %ldx%ld\n", narrow(textOf(form)).c_str(), client.right, client.bottom);

    int rc = 0;
    if (mode == L"shots") {
        const std::wstring folder = argv[3];
        const char* pages[] = {"imgP1Tab1_3", "imgP1Tab2_0", "imgP1Tab3_1", "imgP1Tab4_2"};
        for (int page = 0; page < 4; ++page) {
            clickTab(form, pages[page]);
            photograph(form, folder + L"\\page" + std::to_wstring(page + 1) + L".bmp");
        }
    } else {
        rc = shred(form, argv[3], argc > 4 ? std::wstring(argv[4]) : std::wstring());
    }
    Sleep(500);
    PostMessageW(form, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) fail("quenvor.exe did not end");
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    std::printf("exit: %lu\n", code);
    std::fflush(stdout);
    return rc;
}
