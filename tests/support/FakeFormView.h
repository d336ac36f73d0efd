#pragma once
// A model of the main window built from the form design: every control with its caption,
// visibility, fonts and contents, plus a log of what the logic did, in order.
#include <map>
#include <string>
#include <vector>

#include "ui/IFormView.h"

namespace quenvor::test {

class FakeFormView : public ui::IFormView {
public:
    struct Control {
        std::optional<std::string> caption;
        bool visible = true, enabled = true, bold = false, tabStop = true;
        std::vector<std::string> items;
        std::map<int, std::int32_t> itemData;
        std::string comboText;
        int selected = -1;  // a combo's or a list's selected row
        int check = 0;
        std::int64_t progressMax = 100, progressValue = 0;
    };

    FakeFormView();
    Control& at(const std::string& name);
    std::vector<std::string> log;  // "caption lblTitle=...", "front pTab1_0", ...
    std::string windowCaption;
    std::vector<std::string> tabOrder;
    std::vector<std::string> front;  // strips brought to the front, in order
    bool throwOnCaption = false;
    std::vector<std::vector<ui::MenuChoice>> menus;  // every context menu shown, in order
    int menuPick = -1;                               // what the user takes from the next menu

    // The shown controls with a tab stop, in keyboard order.
    std::vector<std::string> keyboardOrder();

    std::vector<std::string> controlNames() override;
    std::optional<std::string> caption(const std::string& name) override;
    void setCaption(const std::string& name, const std::string& text) override;
    void setWindowCaption(const std::string& text) override;
    void closeWindow() override { ++closeRequests; }
    int closeRequests = 0;
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
    int listSelectedIndex(const std::string& name) override { return at(name).selected; }
    int popupMenu(const std::string& name, const std::vector<ui::MenuChoice>& choices) override;
    void addComboItem(const std::string& name, const std::string& text) override;
    void setComboText(const std::string& name, const std::string& text) override;
    std::string comboText(const std::string& name) override;
    int comboSelectedIndex(const std::string& name) override;
    void setComboSelectedIndex(const std::string& name, int index) override;
    void setComboItemData(const std::string& name, int index, std::int32_t data) override;
    std::int32_t comboItemData(const std::string& name, int index) override;
    int checkValue(const std::string& name) override;
    void setCheckValue(const std::string& name, int value) override;
    void setProgressMax(const std::string& name, std::int64_t max) override;
    std::int64_t progressMax(const std::string& name) override;
    void setProgressValue(const std::string& name, std::int64_t value) override;
    std::int64_t progressValue(const std::string& name) override;

private:
    std::map<std::string, Control> m_controls;
    std::vector<std::string> m_names;
};

}  // namespace quenvor::test
