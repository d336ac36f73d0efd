#pragma once
// The one window of the program as native Win32 controls, built from the form design and wired
// to the same page logic as the Qt window, which reaches them back through IFormView.
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"
#include "shell/StartForm.h"
#include "ui/FormDesign.h"
#include "ui/IFormView.h"

namespace quenvor::window::win32 {

class frmStart : public ui::IFormView {
public:
    frmStart(ui::IUiServices& ui, platform::PlatformServices services);
    ~frmStart() override;
    frmStart(const frmStart&) = delete;
    frmStart& operator=(const frmStart&) = delete;

    HWND hwnd() const { return m_hwnd; }
    HWND control(const std::string& name) const;
    // The control a window handle belongs to ("" for none): what tests and the handlers go by.
    std::string nameOf(HWND hwnd) const;
    shell::StartForm& logic() { return *m_logic; }
    int dpi() const { return m_dpi; }
    // A caption as drawn (a long path shortened in the middle) and its tooltip's text.
    std::string shownCaption(const std::string& name);
    std::string toolTip(const std::string& name);
    void setBusyPointer(bool busy) { m_busy = busy; }

    // IFormView
    std::vector<std::string> controlNames() override;
    std::optional<std::string> caption(const std::string& name) override;
    void setCaption(const std::string& name, const std::string& text) override;
    void setWindowCaption(const std::string& text) override;
    void closeWindow() override;
    void setVisible(const std::string& name, bool visible) override;
    bool isVisible(const std::string& name) override;
    void setEnabled(const std::string& name, bool enabled) override;
    bool isEnabled(const std::string& name) override;
    void setBold(const std::string& name, bool bold) override;
    bool isBold(const std::string& name) override;
    void bringToFront(const std::string& name) override;
    void setTabStop(const std::string& name, bool on) override;
    void applyTabOrder(const std::vector<std::string>& order) override;
    void clearList(const std::string& name) override;
    void addListItem(const std::string& name, const std::string& text) override;
    std::vector<std::string> listItems(const std::string& name) override;
    void addComboItem(const std::string& name, const std::string& text) override;
    void setComboText(const std::string& name, const std::string& text) override;
    std::string comboText(const std::string& name) override;
    int comboSelectedIndex(const std::string& name) override;
    void setComboSelectedIndex(const std::string& name, int index) override;
    void setComboItemData(const std::string& name, int index, std::int32_t value) override;
    std::int32_t comboItemData(const std::string& name, int index) override;
    int checkValue(const std::string& name) override;
    void setCheckValue(const std::string& name, int value) override;
    void setProgressMax(const std::string& name, std::int64_t max) override;
    std::int64_t progressMax(const std::string& name) override;
    void setProgressValue(const std::string& name, std::int64_t value) override;
    std::int64_t progressValue(const std::string& name) override;

private:
    struct Control {
        const ui::ControlSpec* layout = nullptr;
        HWND hwnd = nullptr;
        bool bold = false;
        std::string placeholder;  // a pick-only list's text while nothing is picked
        std::int64_t progressMax = 100, progressValue = 0;
    };

    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK artProc(HWND, UINT, WPARAM, LPARAM);
    static LRESULT CALLBACK choiceProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    LRESULT handle(HWND, UINT, WPARAM, LPARAM);
    LRESULT handleArt(Control&, UINT, WPARAM, LPARAM);
    void buildControls();
    void place(Control& c);
    void clearButtons(Control& box);
    void paintArt(Control& c, HDC dc);
    void paintParent(HWND child, HDC dc);
    void addTip(HWND control);
    std::wstring elided(Control& c, HDC dc);
    void command(Control& c, int code);
    void drawChoice(const DRAWITEMSTRUCT& item);
    void onTabItem(const Control& c, bool click);
    HFONT font(const ui::ControlSpec& layout, bool bold);
    HFONT logoFont();
    Control& at(const std::string& name);
    Control& of(const std::string& name, ui::ControlKind kind);
    int scale(int pixels) const { return MulDiv(pixels, m_dpi, 96); }

    HWND m_hwnd = nullptr;
    int m_dpi = 96;
    bool m_busy = false;
    bool m_tahoma = true;
    std::map<std::string, Control> m_controls;
    std::vector<std::string> m_names;
    std::map<HWND, std::string> m_byHandle;
    std::map<std::string, HFONT> m_fonts;
    HWND m_tips = nullptr;  // the tooltips of shortened captions, made with the first of them
    HBRUSH m_pageBrush = nullptr;
    HBRUSH m_whiteBrush = nullptr;
    std::unique_ptr<shell::StartForm> m_logic;
};

}  // namespace quenvor::window::win32
