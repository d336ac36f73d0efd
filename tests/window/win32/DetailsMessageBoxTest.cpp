// The message box with a list behind it, driven in its own modal loop as a user would: keys posted
// to it, its buttons pressed. QUENVOR_SHOTS=<folder> also saves a picture of the open list.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>

#include "platform/windows/WideText.h"
#include "window/win32/DetailsMessageBox.h"
#include "window/win32/GdiObject.h"
#include "window/win32/MemoryDC.h"
#include "window/win32/SelectedObject.h"
#include "window/win32/Win32UiServices.h"

using namespace quenvor;
using window::win32::DetailsMessageBox;

namespace {

using Clock = std::chrono::steady_clock;

// Steps run from a timer inside the box's own message loop, one a tick, each once the box is up.
std::vector<std::function<void(HWND)>> g_steps;

HWND openBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM l) -> BOOL {
            wchar_t cls[16] = {};
            GetClassNameW(hwnd, cls, 16);
            if (IsWindowVisible(hwnd) && std::wstring(cls) == L"#32770") *reinterpret_cast<HWND*>(l) = hwnd;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

void CALLBACK tick(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = openBox();
    if (!box) return;
    if (g_steps.empty()) {
        KillTimer(nullptr, timer);
        return;
    }
    auto step = std::move(g_steps.front());
    g_steps.erase(g_steps.begin());
    step(box);
}

ui::MsgAnswer ask(ui::MsgButtons buttons, const std::vector<std::string>& lines,
                  std::vector<std::function<void(HWND)>> steps) {
    g_steps = std::move(steps);
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, tick);
    window::win32::Win32UiServices services;
    const ui::MsgAnswer answer =
        services.messageBoxWithDetails("Remove what was found?", "Quenvor", buttons, ui::MsgIcon::Exclamation,
                                       ui::MsgDefault::Second, "Show what will be removed", lines);
    KillTimer(nullptr, timer);
    EXPECT_TRUE(g_steps.empty()) << "the box closed before every step ran";
    return answer;
}

void key(HWND box, UINT message, WPARAM key, LPARAM flags) {
    PostMessageW(GetFocus() ? GetFocus() : box, message, key, flags);
}

std::string rowText(HWND list, int row) {
    wchar_t text[512] = {};
    ListView_GetItemText(list, row, 0, text, 512);
    return platform::windows::narrow(text);
}

std::vector<std::string> account(std::size_t count) {
    std::vector<std::string> lines = {"Chromium, Default: Cookies: 1,204 items, 3.1 MB",
                                      "Chromium, Default: Cache: 8,771 items, 412 MB",
                                      "Firefox, default-esr: History: 25 items", ""};
    for (std::size_t i = 0; lines.size() < count; ++i)
        lines.push_back("C:\\Users\\user\\AppData\\Local\\Chromium\\User Data\\Default\\Cache\\Cache_Data\\f_" +
                        std::to_string(100000 + i));
    return lines;
}

void photograph(HWND hwnd, const std::wstring& file) {
    RECT r;
    GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    const window::win32::MemoryDC mem(screen);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const window::win32::GdiObject<HBITMAP> bmp(CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    const window::win32::SelectedObject into(mem.get(), bmp.get());
    BitBlt(mem.get(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    const DWORD size = static_cast<DWORD>((w * 3 + 3) & ~3) * static_cast<DWORD>(h);
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

TEST(Win32DetailsMessageBox, TheListOpensInsideTheBoxAndNoStaysTheDefault) {
    wchar_t shots[MAX_PATH] = {};
    const bool shooting = GetEnvironmentVariableW(L"QUENVOR_SHOTS", shots, MAX_PATH) > 0;
    const auto lines = account(shooting ? 10000 : 100000);
    const auto start = Clock::now();
    long long opened = -1, listed = -1;
    RECT closed{};
    const ui::MsgAnswer answer =
        ask(ui::MsgButtons::YesNo, lines,
            {[&](HWND box) {
                 opened = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
                 EXPECT_EQ(LOWORD(SendMessageW(box, DM_GETDEFID, 0, 0)), IDNO);
                 EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDNO);
                 HWND toggle = GetDlgItem(box, DetailsMessageBox::kDetailsId);
                 wchar_t caption[64] = {};
                 GetWindowTextW(toggle, caption, 64);
                 EXPECT_STREQ(caption, L"&Show what will be removed");
                 EXPECT_FALSE(IsWindowVisible(GetDlgItem(box, DetailsMessageBox::kListId)));
                 GetWindowRect(box, &closed);
                 if (shooting) photograph(box, std::wstring(shots) + L"\\windows-question.bmp");
                 const auto pressed = Clock::now();
                 SendMessageW(toggle, BM_CLICK, 0, 0);
                 UpdateWindow(box);
                 listed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - pressed).count();
                 HWND list = GetDlgItem(box, DetailsMessageBox::kListId);
                 EXPECT_TRUE(IsWindowVisible(list));
                 RECT open{};
                 GetWindowRect(box, &open);
                 EXPECT_GT(open.bottom - open.top, closed.bottom - closed.top + 100);
                 EXPECT_EQ(ListView_GetItemCount(list), static_cast<int>(lines.size()));
                 EXPECT_EQ(rowText(list, 0), lines.front());
                 EXPECT_EQ(rowText(list, static_cast<int>(lines.size()) - 1), lines.back());
                 wchar_t name[64] = {};
                 GetWindowTextW(list, name, 64);
                 EXPECT_STREQ(name, L"Show what will be removed");
                 if (shooting) photograph(box, std::wstring(shots) + L"\\windows-details.bmp");
                 // Tab from the default button comes round to the list.
                 for (int i = 0; i < 4 && GetFocus() != list; ++i) SetFocus(GetNextDlgTabItem(box, GetFocus(), FALSE));
                 EXPECT_EQ(GetFocus(), list);
                 // A second press, by the caption's Alt key, puts the list away.
                 key(box, WM_SYSCHAR, 's', 1 << 29);
             },
             [&](HWND box) {
                 // Enter, for once these checks are done: the default button answers.
                 key(box, WM_KEYDOWN, VK_RETURN, 1);
                 EXPECT_FALSE(IsWindowVisible(GetDlgItem(box, DetailsMessageBox::kListId)));
                 RECT back{};
                 GetWindowRect(box, &back);
                 EXPECT_EQ(back.bottom - back.top, closed.bottom - closed.top);
                 EXPECT_EQ(back.right - back.left, closed.right - closed.left);
             }});
    EXPECT_EQ(answer, ui::MsgAnswer::No);
    std::printf("%zu lines: the box opened in %lld ms, the list in %lld ms\n", lines.size(), opened, listed);
}

// Esc answers what changes nothing; a button answers what it says.
TEST(Win32DetailsMessageBox, EachWayOutGivesItsAnswer) {
    const auto lines = account(10);
    const auto escape = [](HWND box) { key(box, WM_KEYDOWN, VK_ESCAPE, 1); };
    EXPECT_EQ(ask(ui::MsgButtons::YesNo, lines, {escape}), ui::MsgAnswer::No);
    EXPECT_EQ(ask(ui::MsgButtons::YesNoCancel, lines, {escape}), ui::MsgAnswer::Cancel);
    EXPECT_EQ(
        ask(ui::MsgButtons::YesNo, lines, {[](HWND box) { PostMessageW(GetDlgItem(box, IDYES), BM_CLICK, 0, 0); }}),
        ui::MsgAnswer::Yes);
}

}  // namespace
