#pragma once
// The window's controls as the console program keeps them: no window, only the values the
// page logic reads and writes (the six options, the lists of page one), held in memory.
#include <map>
#include <string>
#include <vector>

#include "ui/IFormView.h"

namespace quenvor::cli {

class ConsoleView : public ui::IFormView {
public:
    std::vector<std::string> controlNames() override;
    std::optional<std::string> caption(const std::string& name) override;
    void setCaption(const std::string& name, const std::string& text) override { at(name).caption = text; }
    void setWindowCaption(const std::string&) override {}
    void closeWindow() override {}
    void setVisible(const std::string& name, bool visible) override { at(name).visible = visible; }
    bool isVisible(const std::string& name) override { return at(name).visible; }
    void setEnabled(const std::string& name, bool enabled) override { at(name).enabled = enabled; }
    bool isEnabled(const std::string& name) override { return at(name).enabled; }
    void setBold(const std::string&, bool) override {}
    bool isBold(const std::string&) override { return false; }
    void bringToFront(const std::string&) override {}
    void setTabStop(const std::string&, bool) override {}
    void applyTabOrder(const std::vector<std::string>&) override {}
    void clearList(const std::string& name) override { at(name).items.clear(); }
    void addListItem(const std::string& name, const std::string& text) override { at(name).items.push_back(text); }
    std::vector<std::string> listItems(const std::string& name) override { return at(name).items; }
    void setListItems(const std::string& name, const std::vector<std::string>& items) override {
        at(name).items = items;
    }
    std::string listItem(const std::string& name, int index) override;
    void setListItemText(const std::string& name, int index, const std::string& text) override;
    int listSelectedIndex(const std::string& name) override { return at(name).selected; }
    int popupMenu(const std::string&, const std::vector<ui::MenuChoice>&) override { return -1; }
    void addComboItem(const std::string& name, const std::string& text) override { at(name).items.push_back(text); }
    void setComboText(const std::string& name, const std::string& text) override { at(name).caption = text; }
    std::string comboText(const std::string& name) override { return at(name).caption.value_or(""); }
    int comboSelectedIndex(const std::string& name) override { return at(name).selected; }
    void setComboSelectedIndex(const std::string& name, int index) override { at(name).selected = index; }
    void setComboItemData(const std::string& name, int index, std::int32_t data) override {
        at(name).data[index] = data;
    }
    std::int32_t comboItemData(const std::string& name, int index) override;
    int checkValue(const std::string& name) override { return at(name).check; }
    void setCheckValue(const std::string& name, int value) override { at(name).check = value; }
    void setProgressMax(const std::string& name, std::int64_t max) override { at(name).max = max; }
    std::int64_t progressMax(const std::string& name) override { return at(name).max; }
    void setProgressValue(const std::string& name, std::int64_t value) override { at(name).value = value; }
    std::int64_t progressValue(const std::string& name) override { return at(name).value; }

private:
    struct Control {
        std::optional<std::string> caption;
        bool visible = true, enabled = true;
        std::vector<std::string> items;
        std::map<int, std::int32_t> data;
        int selected = -1;
        int check = 0;
        std::int64_t max = 100, value = 0;
    };
    Control& at(const std::string& name) { return m_controls[name]; }

    std::map<std::string, Control> m_controls;
};

}  // namespace quenvor::cli
