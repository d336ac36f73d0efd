// The Win32 window against the form design and against the page logic's own model of it: the
// same logic drives a FakeFormView and the real controls, and both must agree after each step.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>

#include "platform/EmbeddedStringResource.h"
#include "platform/NativePlatform.h"
#include "platform/windows/WideText.h"
#include "shredder/ShredderPage.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "text/TextIds.h"
#include "ui/Accelerator.h"
#include "ui/FormDesign.h"
#include "window/win32/GdiObject.h"
#include "window/win32/MemoryDC.h"
#include "window/win32/Palette.h"
#include "window/win32/SelectedObject.h"
#include "window/win32/Win32UiServices.h"
#include "window/win32/frmStart.h"

using namespace quenvor;
using window::win32::frmStart;

namespace {

class Win32WindowTest : public ::testing::Test {
protected:
    platform::EmbeddedStringResource strings;
    test::MemorySettingsStore settings;
    test::RecordingOpener opener;
    test::FixedFolders folders;
    std::unique_ptr<platform::IFileService> files = platform::NativePlatform::makeFileService();
    std::unique_ptr<platform::IRandomSource> random = platform::NativePlatform::makeRandomSource();
    test::ScriptedUi ui, modelUi;

    platform::PlatformServices services() {
        platform::PlatformServices s;
        s.strings = &strings;
        s.settings = &settings;
        s.opener = &opener;
        s.folders = &folders;
        s.files = files.get();
        s.random = random.get();
        return s;
    }
    std::unique_ptr<frmStart> open() {
        auto form = std::make_unique<frmStart>(ui, services());
        form->logic().Form_Load();
        ShowWindow(form->hwnd(), SW_SHOWNOACTIVATE);
        pump();
        return form;
    }
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    // The control's rectangle in its parent's client coordinates.
    static RECT placeOf(HWND hwnd) {
        RECT r;
        GetWindowRect(hwnd, &r);
        MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    // The window moved to a monitor of `dpi` dots per inch, as Windows tells it.
    static void rescale(frmStart& form, int dpi) {
        RECT r;
        GetWindowRect(form.hwnd(), &r);
        r.right = r.left + MulDiv(r.right - r.left, dpi, form.dpi());
        r.bottom = r.top + MulDiv(r.bottom - r.top, dpi, form.dpi());
        SendMessageW(form.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
        pump();
    }
    static void click(HWND hwnd) {
        RECT r;
        GetClientRect(hwnd, &r);
        const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
        SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(hwnd, WM_LBUTTONUP, 0, at);
    }
    static void press(HWND button) {
        SendMessageW(button, BM_CLICK, 0, 0);
        pump();
    }
    void expectSameAs(frmStart& form, test::FakeFormView& model, const std::string& step) {
        for (const auto& name : model.controlNames()) {
            SCOPED_TRACE(step + ": " + name);
            EXPECT_EQ(form.view().isVisible(name), model.isVisible(name));
            EXPECT_EQ(form.view().isEnabled(name), model.isEnabled(name));
            EXPECT_EQ(form.view().isBold(name), model.isBold(name));
            EXPECT_EQ(form.view().caption(name), model.caption(name));
            if (ui::FormDesign::find(name)->kind == ui::ControlKind::CheckBox) {
                EXPECT_EQ(form.view().checkValue(name), model.checkValue(name));
            }
        }
    }
};

TEST_F(Win32WindowTest, EveryControlStandsWhereTheDesignPutsIt) {
    auto form = open();
    const int dpi = form->dpi();
    RECT client;
    GetClientRect(form->hwnd(), &client);
    EXPECT_EQ(client.right, MulDiv(615, dpi, 96));
    EXPECT_EQ(client.bottom, MulDiv(424, dpi, 96));
    const auto names = form->view().controlNames();
    ASSERT_EQ(names.size(), ui::FormDesign::controls().size());
    for (const auto& design : ui::FormDesign::controls()) {
        SCOPED_TRACE(design.name);
        HWND hwnd = form->control(design.name);
        EXPECT_EQ(form->nameOf(hwnd), design.name);
        HWND parent = design.parent.empty() ? form->hwnd() : form->control(design.parent);
        EXPECT_EQ(GetParent(hwnd), parent);
        const RECT r = placeOf(hwnd);
        EXPECT_EQ(r.left, MulDiv((design.left + 7) / 15, dpi, 96));
        EXPECT_EQ(r.top, MulDiv((design.top + 7) / 15, dpi, 96));
        if (design.autoSize) continue;
        EXPECT_EQ(r.right - r.left, MulDiv((design.width + 7) / 15, dpi, 96));
        // A closed list is as high as its field, whatever the design says.
        if (design.kind != ui::ControlKind::ComboBox) {
            EXPECT_EQ(r.bottom - r.top, MulDiv((design.height + 7) / 15, dpi, 96));
        }
    }
    EXPECT_EQ(form->view().caption("cmdHelp"), "&Help");
    EXPECT_FALSE(form->view().isEnabled("cmdDelete"));
    wchar_t title[64];
    GetWindowTextW(form->hwnd(), title, 64);
    EXPECT_STREQ(title, L"Quenvor");
}

// Tabs clicked on their hot areas and captions, as a user would, with the logic's model beside.
TEST_F(Win32WindowTest, EachPageShowsWhatTheLogicSays) {
    auto form = open();
    test::FakeFormView model;
    shell::StartForm logic(model, modelUi, services());
    logic.Form_Load();
    expectSameAs(*form, model, "after load");
    const std::vector<std::pair<const char*, int>> steps = {
        {"imgP1Tab2_0", 2}, {"lblP1Tab3_1", 3}, {"imgP1Tab4_2", 4}, {"lblP1Tab1_3", 1}};
    for (const auto& [name, tab] : steps) {
        click(form->control(name));
        pump();
        if (name[0] == 'i')
            logic.pages().imgP1Tab_Click(tab);
        else
            logic.pages().lblP1Tab_Click(tab);
        expectSameAs(*form, model, name);
    }
    // The strip of the page shown lies on top, so its tabs take the clicks.
    click(form->control("imgP1Tab3_0"));
    pump();
    EXPECT_TRUE(form->view().isVisible("pSettings"));
    POINT inTab{MulDiv(280, form->dpi(), 96), MulDiv(40, form->dpi(), 96)};
    HWND hit = ChildWindowFromPointEx(form->hwnd(), inTab, CWP_SKIPINVISIBLE);
    EXPECT_EQ(form->nameOf(hit), "pTab1_2");
    // The settings box, above Help in the keyboard's z-order, leaves the button uncovered.
    const RECT help = placeOf(form->control("cmdHelp"));
    const RECT box = placeOf(form->control("pSettings"));
    ASSERT_LT(help.top, box.bottom);
    const window::win32::GdiObject<HRGN> shape(CreateRectRgn(0, 0, 0, 0));
    ASSERT_NE(GetWindowRgn(form->control("pSettings"), shape.get()), ERROR);
    EXPECT_FALSE(PtInRegion(shape.get(), help.left + 10 - box.left, help.top + 2 - box.top));
    EXPECT_TRUE(PtInRegion(shape.get(), 10, 10));
}

TEST_F(Win32WindowTest, HoverBoldsTheTabUnderThePointer) {
    auto form = open();
    SendMessageW(form->control("lblP1Tab3_0"), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(form->view().isBold("lblP1Tab3_0"));
    EXPECT_TRUE(form->view().isBold("lblP1Tab1_0"));
    EXPECT_FALSE(form->view().isBold("lblP1Tab2_0"));
    SendMessageW(form->control("imgP1Tab2_0"), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_FALSE(form->view().isBold("lblP1Tab3_0"));
    EXPECT_TRUE(form->view().isBold("lblP1Tab2_0"));
}

// Every caption shown fits its control, in both languages and at 100, 150 and 200 %, and lies
// over no other caption and inside the window: nothing is clipped or overdrawn.
TEST_F(Win32WindowTest, CaptionsFitInBothLanguagesAtEveryScale) {
    for (const auto& [language, dpi] : std::vector<std::pair<const char*, int>>{
             {"1053", 96}, {"1034", 96}, {"1053", 144}, {"1034", 144}, {"1053", 192}, {"1034", 192}}) {
        settings.values["QUENVOR/SETTINGS/LANGUAGE"] = language;
        auto form = open();
        rescale(*form, dpi);
        RECT window;
        GetClientRect(form->hwnd(), &window);
        if (window.right < 1024) {  // larger than the virtual screen at 200 %
            EXPECT_EQ(window.right, form->clientSize().cx);
            EXPECT_EQ(window.bottom, form->clientSize().cy);
        }
        for (int page = 1; page <= 4; ++page) {
            form->logic().pages().lblP1Tab_Click(page);
            std::vector<std::pair<std::string, HWND>> shown;
            for (const auto& design : ui::FormDesign::controls()) {
                if (design.kind != ui::ControlKind::Label || !IsWindowVisible(form->control(design.name))) continue;
                SCOPED_TRACE(std::string(language) + " at " + std::to_string(dpi) + " dpi: " + design.name);
                HWND label = form->control(design.name);
                for (const auto& [otherName, other] : shown) {
                    RECT a = placeOf(label), b = placeOf(other), both;
                    if (GetParent(other) == GetParent(label) && GetWindowTextLengthW(other) > 0 &&
                        GetWindowTextLengthW(label) > 0) {
                        EXPECT_FALSE(IntersectRect(&both, &a, &b)) << "over " << otherName;
                    }
                }
                shown.emplace_back(design.name, label);
                RECT has;
                GetClientRect(label, &has);
                wchar_t text[4096];
                GetWindowTextW(label, text, 4096);
                HDC dc = GetDC(label);
                SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
                RECT need{0, 0, has.right, 0};
                DrawTextW(dc, text, -1, &need,
                          DT_CALCRECT | DT_NOPREFIX | (design.autoSize ? 0U : static_cast<UINT>(DT_WORDBREAK)));
                ReleaseDC(label, dc);
                EXPECT_LE(need.right, has.right);
                EXPECT_LE(need.bottom, has.bottom);
                if (design.parent.empty()) {
                    const SIZE client = form->clientSize();
                    EXPECT_LE(placeOf(label).right, client.cx);
                    EXPECT_LE(placeOf(label).bottom, client.cy);
                }
            }
        }
    }
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp step through the pages, wrapping, and
// hand the focus to the page's first control; on the strip the arrows pick the tabs and the
// focus stays on the strip. Every control that takes the focus has one letter of its own.
TEST_F(Win32WindowTest, PagesAreWorkedFromTheKeyboard) {
    auto form = open();
    SetForegroundWindow(form->hwnd());
    SendMessageW(form->hwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    if (!GetFocus()) GTEST_SKIP() << "no keyboard focus without a desktop";
    EXPECT_EQ(form->nameOf(GetFocus()), "cmdNext") << "a control has the focus from the start";
    const auto focused = [&] { return form->nameOf(GetFocus()); };
    BYTE keys[256];
    const auto key = [&](WPARAM vk, bool shift) {
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        SetKeyboardState(keys);
        const MSG msg{GetFocus(), WM_KEYDOWN, vk, 0, 0, {}};
        const bool taken = form->translateKey(msg);
        keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        pump();
        return taken;
    };
    const struct {
        WPARAM vk;
        bool shift;
        int page;
        const char* first;
    } steps[] = {{VK_TAB, false, 1, "cmdFile"}, {VK_NEXT, false, 2, "chk1"},     {VK_NEXT, false, 3, "cmdHelp"},
                 {VK_TAB, false, 0, "cmdNext"}, {VK_PRIOR, false, 3, "cmdHelp"}, {VK_TAB, true, 2, "chk1"}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.page);
        EXPECT_TRUE(key(step.vk, step.shift));
        EXPECT_EQ(form->currentPage(), step.page);
        EXPECT_EQ(focused(), step.first);
    }
    EXPECT_FALSE(key('A', false));

    // The strip shown is one stop of the Tab key's round.
    HWND strip = form->control("pTab1_2");
    std::vector<std::string> round;
    for (HWND at = GetNextDlgTabItem(form->hwnd(), GetFocus(), FALSE); at && round.size() < 20;
         at = GetNextDlgTabItem(form->hwnd(), at, FALSE)) {
        round.push_back(form->nameOf(at));
        if (at == GetFocus()) break;
    }
    EXPECT_NE(std::find(round.begin(), round.end(), "pTab1_2"), round.end());
    SetFocus(strip);
    EXPECT_EQ(SendMessageW(strip, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS, DLGC_WANTARROWS);
    for (const auto& [vk, page] : std::vector<std::pair<WPARAM, int>>{
             {VK_RIGHT, 3}, {VK_RIGHT, 3}, {VK_HOME, 0}, {VK_LEFT, 0}, {VK_DOWN, 1}, {VK_END, 3}, {VK_UP, 2}}) {
        SendMessageW(GetFocus(), WM_KEYDOWN, vk, 0);
        pump();
        EXPECT_EQ(form->currentPage(), page);
        EXPECT_EQ(focused(), ui::FormDesign::member("pTab1", page));
    }
    EXPECT_TRUE(key(VK_NEXT, false));
    EXPECT_EQ(focused(), "pTab1_3") << "Ctrl+PageDown from the strip keeps the focus there";
}

TEST_F(Win32WindowTest, AccessKeysAreUniqueOnEachPage) {
    for (const char* language : {"1053", "1034"}) {
        settings.values["QUENVOR/SETTINGS/LANGUAGE"] = language;
        auto form = open();
        for (int page = 1; page <= 4; ++page) {
            form->logic().pages().lblP1Tab_Click(page);
            if (page == 2) form->view().setVisible("cmdCancel", true);  // as while a file is shredded
            std::map<char, std::string> taken;
            for (const auto& design : ui::FormDesign::controls()) {
                if (!design.takesFocus || !IsWindowVisible(form->control(design.name))) continue;
                const auto caption = form->view().caption(design.name);
                if (!caption) continue;
                SCOPED_TRACE(std::string(language) + " page " + std::to_string(page) + ": " + design.name);
                wchar_t text[256];
                GetWindowTextW(form->control(design.name), text, 256);
                const std::string shown = platform::windows::narrow(text);
                EXPECT_EQ(ui::Accelerator::plain(shown), ui::Accelerator::plain(*caption));
                const char letter = ui::Accelerator::key(shown);
                EXPECT_NE(letter, 0);
                EXPECT_FALSE(taken.contains(letter)) << "the letter of " << taken[letter];
                taken[letter] = design.name;
            }
        }
    }
}

// What a screen reader asks of a control, through the standard accessibility calls.
class AccessibleOf {
public:
    explicit AccessibleOf(HWND hwnd) {
        AccessibleObjectFromWindow(hwnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                   reinterpret_cast<void**>(&m_acc));
    }
    ~AccessibleOf() {
        if (m_acc) m_acc->Release();
    }
    AccessibleOf(const AccessibleOf&) = delete;
    AccessibleOf& operator=(const AccessibleOf&) = delete;
    explicit operator bool() const { return m_acc != nullptr; }
    IAccessible* operator->() const { return m_acc; }
    static VARIANT child(long id) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = id;
        return v;
    }
    std::string name(long id = CHILDID_SELF) const { return text(&IAccessible::get_accName, id); }
    std::string value(long id = CHILDID_SELF) const { return text(&IAccessible::get_accValue, id); }
    long role(long id = CHILDID_SELF) const { return number(&IAccessible::get_accRole, id); }
    long state(long id = CHILDID_SELF) const { return number(&IAccessible::get_accState, id); }

private:
    std::string text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id) const {
        BSTR got = nullptr;
        if (FAILED((m_acc->*get)(child(id), &got)) || !got) return {};
        std::string out = platform::windows::narrow(got);
        SysFreeString(got);
        return out;
    }
    long number(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), long id) const {
        VARIANT got;
        VariantInit(&got);
        if (FAILED((m_acc->*get)(child(id), &got)) || got.vt != VT_I4) return -1;
        return got.lVal;
    }
    IAccessible* m_acc = nullptr;
};

// The tab strip is a page tab list of four named tabs, the lists and boxes carry the captions
// that name them, and the bar says how far it is.
TEST_F(Win32WindowTest, ScreenReadersHearTabsNamesAndProgress) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        auto form = open();
        auto say = [&](int id) { return form->logic().strings().LoadLangString(id); };
        const AccessibleOf strip(form->control("pTab1_0"));
        ASSERT_TRUE(strip);
        EXPECT_EQ(strip.role(), ROLE_SYSTEM_PAGETABLIST);
        long count = 0;
        EXPECT_EQ(strip->get_accChildCount(&count), S_OK);
        EXPECT_EQ(count, 4);
        const int tabs[] = {text::EraseTracksTab, text::ShredderTab, text::SettingsTab, text::AboutTab};
        for (long tab = 1; tab <= 4; ++tab) {
            EXPECT_EQ(strip.name(tab), say(tabs[tab - 1]));
            EXPECT_EQ(strip.role(tab), ROLE_SYSTEM_PAGETAB);
            EXPECT_EQ((strip.state(tab) & STATE_SYSTEM_SELECTED) != 0, tab == 1);
        }
        EXPECT_EQ(strip->accDoDefaultAction(AccessibleOf::child(3)), S_OK);
        pump();
        EXPECT_EQ(form->currentPage(), 2);
        EXPECT_TRUE(form->view().isVisible("pSettings"));
        EXPECT_NE(strip.state() & STATE_SYSTEM_INVISIBLE, 0) << "the strip behind the page's own";
        EXPECT_EQ(AccessibleOf(form->control("pTab1_2")).state(3) & STATE_SYSTEM_SELECTED, STATE_SYSTEM_SELECTED);

        const auto plain = [&](const char* label) { return ui::Accelerator::plain(*form->view().caption(label)); };
        EXPECT_EQ(AccessibleOf(form->control("LstB2")).name(), plain("lblRecentFiles"));
        EXPECT_EQ(AccessibleOf(form->control("LstB3")).name(), plain("lblCookies"));
        EXPECT_EQ(AccessibleOf(form->control("cmbSecure")).name(), plain("lblDeleteSel"));
        EXPECT_EQ(AccessibleOf(form->control("cmbLanguage")).name(), say(text::LanguagePrompt));
        const AccessibleOf title(form->control("lblTitle"));
        EXPECT_EQ(title.role(), ROLE_SYSTEM_STATICTEXT);
        EXPECT_EQ(title.name(), *form->view().caption("lblTitle"));

        form->view().setProgressMax("pbCurrentPrgrs", 10);
        form->view().setProgressValue("pbCurrentPrgrs", 3);
        const AccessibleOf bar(form->control("pbCurrentPrgrs"));
        EXPECT_EQ(bar.role(), ROLE_SYSTEM_PROGRESSBAR);
        EXPECT_EQ(bar.name(), say(text::ShredProgressName));
        EXPECT_EQ(bar.value(), "30%");
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

// Every caption on what the window paints reads at 4.5:1 or more; under high contrast the window
// paints in the scheme's colours, white on black here, and its captions stay readable on them.
TEST_F(Win32WindowTest, CaptionsReadInTheArtworkAndUnderHighContrast) {
    using window::win32::Palette;
    const auto readable = [](const Palette& p) {
        for (const COLORREF back : {p.page, p.box, p.tabFrom, p.tabTo, p.currentFrom, p.currentTo}) {
            EXPECT_GE(Palette::contrast(p.text, back), 4.5);
            EXPECT_GE(Palette::contrast(p.greyText, back), 4.5);
        }
        for (const COLORREF back : {p.bandFrom, p.bandTo}) EXPECT_GE(Palette::contrast(p.bandText, back), 4.5);
    };
    readable(Palette::of(false));

    HIGHCONTRASTW before{};
    before.cbSize = sizeof before;
    SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof before, &before, 0);
    HIGHCONTRASTW on = before;
    on.dwFlags |= HCF_HIGHCONTRASTON;
    // Wine keeps no high contrast setting: the window is then told it is on.
    if (!SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof on, &on, 0) || !Palette::current().highContrast)
        Palette::force(true);
    const int which[] = {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT};
    const COLORREF scheme[] = {RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255)};
    COLORREF saved[3];
    for (int i = 0; i < 3; ++i) saved[i] = GetSysColor(which[i]);
    SetSysColors(3, which, scheme);
    readable(Palette::current());
    {
        auto form = open();
        for (const char* name : {"lblTitle", "lblStart", "lblRecentFiles", "lblP1Tab1_0", "lblP1Tab2_0"}) {
            SCOPED_TRACE(name);
            HWND label = form->control(name);
            RECT r;
            GetClientRect(label, &r);
            const window::win32::MemoryDC dc;
            HDC screen = GetDC(nullptr);
            const window::win32::GdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen, r.right, r.bottom));
            ReleaseDC(nullptr, screen);
            const window::win32::SelectedObject into(dc.get(), bitmap.get());
            SendMessageW(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
            const COLORREF back = GetPixel(dc.get(), r.right - 1, 0);
            EXPECT_EQ(back, RGB(0, 0, 0)) << "the scheme's window colour behind the caption";
            double best = 1;
            for (int y = 0; y < r.bottom; ++y)
                for (int x = 0; x < r.right; ++x)
                    best = std::max(best, Palette::contrast(GetPixel(dc.get(), x, y), back));
            EXPECT_GE(best, 4.5) << "the caption's strokes stand out";
        }
    }
    SetSysColors(3, which, saved);
    Palette::force(std::nullopt);
    SystemParametersInfoW(SPI_SETHIGHCONTRAST, sizeof before, &before, 0);
}

// A stored greyed option shows greyed; clicks toggle clear and ticked only.
TEST_F(Win32WindowTest, OptionBoxesShowGreyedAndToggleTwoWays) {
    auto form = open();
    form->view().setCheckValue("chk3", 2);
    HWND box = form->control("chk3");
    EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    EXPECT_EQ(form->view().checkValue("chk3"), 2);
    press(box);
    EXPECT_EQ(form->view().checkValue("chk3"), 1);
    press(box);
    EXPECT_EQ(form->view().checkValue("chk3"), 0);
    press(box);
    EXPECT_EQ(form->view().checkValue("chk3"), 1);
}

TEST_F(Win32WindowTest, ListsTakeTheWheelOnlyWithTheFocus) {
    auto form = open();
    HWND list = form->control("cmbSecure");
    form->view().setComboSelectedIndex("cmbSecure", 1);
    const WPARAM down = MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA));
    SetFocus(form->control("cmdHelp"));
    SendMessageW(list, WM_MOUSEWHEEL, down, 0);
    EXPECT_EQ(form->view().comboSelectedIndex("cmbSecure"), 1);
    SetFocus(list);
    if (GetFocus() != list && !IsChild(list, GetFocus())) GTEST_SKIP() << "no keyboard focus without a desktop";
    SendMessageW(list, WM_MOUSEWHEEL, down, 0);
    EXPECT_EQ(form->view().comboSelectedIndex("cmbSecure"), 2);
}

// A cookie row picked as the list reports a pick, kept with the button and released from the
// menu that Shift+F10 opens, with the logic's model doing the same beside it.
TEST_F(Win32WindowTest, ASiteIsKeptAndReleasedFromTheCookieList) {
    auto form = open();
    test::FakeFormView model;
    shell::StartForm logic(model, modelUi, services());
    logic.Form_Load();
    const std::vector<std::string> rows = {"Cookie:ana@.shop.example/", "Cookie:ana@news.example/"};
    form->view().setListItems("LstB3", rows);
    model.setListItems("LstB3", rows);
    HWND list = form->control("LstB3");
    EXPECT_EQ(form->view().listItems("LstB3"), rows);
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    SendMessageW(form->hwnd(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    model.at("LstB3").selected = 1;
    logic.keepSites().LstB3_Click();
    expectSameAs(*form, model, "picked");
    EXPECT_TRUE(form->view().isEnabled("cmdKeep"));

    press(form->control("cmdKeep"));
    EXPECT_EQ(settings.values["QUENVOR/SETTINGS/KEEP"], "news.example");
    EXPECT_EQ(form->view().listItem("LstB3", 1), rows[1] + " (kept)");
    EXPECT_EQ(form->view().listSelectedIndex("LstB3"), 1) << "the pick stays on the marked row";
    EXPECT_EQ(form->view().caption("cmdKeep"), "&Release this site");

    // Shift+F10 as the list passes it on; the open menu is then worked by its accelerator.
    SetForegroundWindow(form->hwnd());
    SetFocus(list);
    if (GetFocus() != list) GTEST_SKIP() << "no keyboard focus without a desktop";
    static bool menuSeen;
    menuSeen = false;
    SetTimer(form->hwnd(), 1, 100, [](HWND owner, UINT, UINT_PTR id, DWORD) {
        HWND menu = FindWindowW(L"#32768", nullptr);
        if (!menu || !IsWindowVisible(menu)) return;
        KillTimer(owner, id);
        menuSeen = true;
        PostMessageW(menu, WM_CHAR, L'r', 0);  // "&Release this site"
    });
    SendMessageW(list, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(-1, -1));
    pump();
    KillTimer(form->hwnd(), 1);
    EXPECT_TRUE(menuSeen);
    EXPECT_EQ(settings.values["QUENVOR/SETTINGS/KEEP"], "");
    EXPECT_EQ(form->view().listItem("LstB3", 1), rows[1]);
}

// The language list shows its word while nothing is picked; a pick changes the language.
TEST_F(Win32WindowTest, LanguageListShowsItsWordUntilPicked) {
    auto form = open();
    EXPECT_EQ(form->view().comboSelectedIndex("cmbLanguage"), -1);
    EXPECT_EQ(form->view().comboText("cmbLanguage"), form->logic().strings().LoadLangString(text::LanguagePrompt));
    const std::string spanish = form->logic().strings().LoadLangString(text::LanguageSpanish);
    HWND list = form->control("cmbLanguage");
    SendMessageW(list, CB_SETCURSEL, 1, 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
    EXPECT_EQ(form->view().comboText("cmbLanguage"), spanish);
    EXPECT_EQ(form->view().comboItemData("cmbLanguage", 1), ui::kSpanish);
    EXPECT_EQ(settings.values["QUENVOR/SETTINGS/LANGUAGE"], std::to_string(ui::kSpanish));
    // Text typed over the erase method's item is no selection.
    form->view().setComboText("cmbSecure", "typed");
    EXPECT_EQ(form->view().comboSelectedIndex("cmbSecure"), -1);
    EXPECT_EQ(form->view().comboText("cmbSecure"), "typed");
}

TEST_F(Win32WindowTest, ProgressCountsBeyondThirtyTwoBits) {
    auto form = open();
    HWND bar = form->control("pbCurrentPrgrs");
    const std::int64_t max = std::int64_t{1} << 40;
    form->view().setProgressMax("pbCurrentPrgrs", max);
    form->view().setProgressValue("pbCurrentPrgrs", max / 2);
    EXPECT_EQ(form->view().progressMax("pbCurrentPrgrs"), max);
    EXPECT_EQ(form->view().progressValue("pbCurrentPrgrs"), max / 2);
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), INT_MAX);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), INT_MAX / 2);
    form->view().setProgressValue("pbCurrentPrgrs", max * 2);  // more than the maximum: a full bar
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), INT_MAX);
    form->view().setProgressMax("pbCurrentPrgrs", 10);
    form->view().setProgressValue("pbCurrentPrgrs", 3);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 3);
}

// Closing from the title bar runs the unload step (the shredder page goes); Quit does not.
TEST_F(Win32WindowTest, TitleBarCloseUnloadsAndQuitDoesNot) {
    MSG quit;
    {
        auto form = open();
        SendMessageW(form->hwnd(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindowVisible(form->hwnd()));
        EXPECT_EQ(form->logic().shredderPage(), nullptr);
        EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    }
    auto form = open();
    press(form->control("cmdQuit"));
    EXPECT_TRUE(form->logic().ending());
    EXPECT_EQ(ui.endProgramCalls, 1);
    EXPECT_FALSE(IsWindowVisible(form->hwnd()));
    EXPECT_NE(form->logic().shredderPage(), nullptr);
}

// What Delete would destroy is named under the buttons: whole in its text and tooltip, drawn
// shortened in the middle when it does not fit.
TEST_F(Win32WindowTest, TheChoiceIsNamedWholeAndShortenedInTheMiddle) {
    auto form = open();
    form->logic().pages().ShowShredderPage();
    EXPECT_TRUE(form->view().isVisible("lblChosen"));
    std::string longPath = "C:\\Users\\someone\\";
    for (int i = 0; i < 6; ++i) longPath += "a-rather-long-folder-name\\";
    longPath += "the end.txt";
    for (const std::string& path : {longPath, std::string("C:\\short.txt")}) {
        SCOPED_TRACE(path);
        ui::FileDialogResult chosen;
        chosen.accepted = true;
        chosen.files = {path};
        ui.fileAnswers.push_back(chosen);
        form->logic().shredderPage()->cmdFile_Click();
        EXPECT_EQ(form->view().caption("lblChosen"), path);
        EXPECT_EQ(form->view().toolTip("lblChosen"), path);
        const std::string shown = form->view().shownCaption("lblChosen");
        if (path != longPath) {
            EXPECT_EQ(shown, path);
            continue;
        }
        EXPECT_NE(shown.find("..."), std::string::npos) << shown;
        EXPECT_TRUE(shown.rfind("C:\\", 0) == 0 && shown.ends_with("the end.txt")) << shown;
        HWND label = form->control("lblChosen");
        HDC dc = GetDC(label);
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        const std::wstring wide(shown.begin(), shown.end());
        SIZE need{};
        GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &need);
        ReleaseDC(label, dc);
        RECT has;
        GetClientRect(label, &has);
        EXPECT_LE(need.cx, has.right);
    }
    form->logic().pages().ShowAboutPage();
    EXPECT_FALSE(form->view().isVisible("lblChosen"));
}

// Each GDI object goes once, with its last owner; a selection is undone before its object goes.
TEST(GdiOwnersTest, DeleteOnceAndPutTheSelectionBack) {
    using namespace window::win32;
    HBRUSH brushHandle = nullptr;
    HDC dcHandle = nullptr;
    {
        GdiObject<HBRUSH> brush(CreateSolidBrush(RGB(1, 2, 3)));
        brushHandle = brush.get();
        const GdiObject<HBRUSH> taken = std::move(brush);
        EXPECT_FALSE(brush);
        EXPECT_EQ(GetObjectType(brushHandle), static_cast<DWORD>(OBJ_BRUSH));

        const MemoryDC dc;
        dcHandle = dc.get();
        const HGDIOBJ before = GetCurrentObject(dc.get(), OBJ_FONT);
        const GdiObject<HFONT> font(CreateFontW(-11, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                                                L"Tahoma"));
        {
            const SelectedObject inFont(dc.get(), font.get());
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), font.get());
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_FONT), before);
    }
    EXPECT_EQ(GetObjectType(brushHandle), 0u);
    EXPECT_EQ(GetObjectType(dcHandle), 0u);
}

TEST(Win32UiServicesTest, FileDialogAnswersBecomeFullPaths) {
    using window::win32::Win32UiServices;
    EXPECT_EQ(Win32UiServices::selectedFiles(L"C:\\dir\\a.txt\0"), std::vector<std::string>{"C:\\dir\\a.txt"});
    EXPECT_EQ(Win32UiServices::selectedFiles(L"C:\\dir\0a.txt\0b \u00e9.txt\0"),
              (std::vector<std::string>{"C:\\dir\\a.txt", "C:\\dir\\b \xc3\xa9.txt"}));
    EXPECT_EQ(Win32UiServices::selectedFiles(L"C:\\\0a.txt\0b.txt\0"),
              (std::vector<std::string>{"C:\\a.txt", "C:\\b.txt"}));
}

}  // namespace

// Dragged from Explorer: the shredder page takes the files and folders, and only while it is
// shown; the drop's memory is let go either way.
TEST_F(Win32WindowTest, FilesDroppedOnTheShredderPageBecomeItsChoice) {
    test::TempDir dir;
    test::TempDir::write(dir / "one.txt", "1");
    std::filesystem::create_directories(dir / "folder");
    const std::vector<std::filesystem::path> both{dir / "one.txt", dir / "folder"};
    auto form = open();
    const auto drop = [&](const std::vector<std::filesystem::path>& paths) {
        std::wstring list;
        for (const auto& p : paths) list += p.wstring() + L'\0';
        list += L'\0';
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
        ASSERT_NE(memory, nullptr);
        auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        SendMessageW(form->hwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
        pump();
    };
    auto* page = form->logic().shredderPage();
    form->logic().pages().ShowTracksPage();
    drop(both);
    EXPECT_TRUE(page->chosenItems().empty());

    form->logic().pages().ShowShredderPage();
    drop(both);
    const std::vector<std::string> expected{platform::windows::narrow(both[0].wstring()),
                                            platform::windows::narrow(both[1].wstring())};
    EXPECT_EQ(page->chosenItems(), expected);
    EXPECT_EQ(form->view().caption("lblChosen"), "2 items chosen");
    EXPECT_TRUE(form->view().isEnabled("cmdDelete"));
    drop({dir / "folder"});
    EXPECT_EQ(page->selectedFolder(), expected[1]);
}
