#pragma once
// The page logic's view of the native window: every IFormView request, by control name, on the
// Win32 controls the window made; with the tooltips that carry a shortened caption whole.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "ui/IFormView.h"
#include "window/win32/FormLayout.h"
#include "window/win32/NativeControl.h"

namespace quenvor::window::win32 {

class FormView : public ui::IFormView {
public:
    FormView(HWND window, FormLayout& layout);

    // Takes in a control just made; its record stays in place for the window's life.
    NativeControl& add(const ui::ControlSpec& layout, HWND hwnd);
    NativeControl& at(const std::string& name);
    NativeControl* find(const std::string& name);
    NativeControl* find(HWND hwnd);  // null for a window that is none of the controls
    HWND control(const std::string& name) const;
    // The control a window handle belongs to ("" for none): what tests and the handlers go by.
    std::string nameOf(HWND hwnd) const;
    const std::vector<std::string>& names() const { return m_names; }
    // The page shown, 0 to 3: the one whose tab strip was last brought to the front.
    int page() const { return m_page; }
    // A caption as drawn (a long path shortened in the middle) and its tooltip's text.
    std::string shownCaption(const std::string& name);
    std::string toolTip(const std::string& name);

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
    void setListItems(const std::string& name, const std::vector<std::string>& items) override;
    std::string listItem(const std::string& name, int index) override;
    void setListItemText(const std::string& name, int index, const std::string& text) override;
    int listSelectedIndex(const std::string& name) override;
    int popupMenu(const std::string& name, const std::vector<ui::MenuChoice>& choices) override;
    // Where the next context menu opens, in screen coordinates: set by the window from the
    // message that asked for it.
    void setMenuPoint(POINT at) { m_menuAt = at; }
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
    void addTip(HWND control);
    void markAccessKeys();
    NativeControl& of(const std::string& name, ui::ControlKind kind);

    HWND m_window;
    FormLayout& m_layout;
    std::map<std::string, NativeControl> m_controls;
    std::vector<std::string> m_names;
    std::map<HWND, std::string> m_byHandle;
    HWND m_tips = nullptr;
    int m_page = 0;
    std::vector<std::string> m_order;  // the keyboard's round, as last applied
    POINT m_menuAt{0, 0};              // the tooltips of shortened captions, made with the first of them
};

}  // namespace quenvor::window::win32
