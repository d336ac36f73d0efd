#pragma once
// The main window as page logic sees it: controls addressed by name (the widget's
// objectName; array members as "pTab1_2"). The window implements it with widgets, tests
// with a plain model.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quenvor::ui {

// One line of a context menu; a choice that does not apply is shown greyed.
struct MenuChoice {
    std::string text;
    bool enabled = true;
};

class IFormView {
public:
    virtual ~IFormView() = default;

    // Every control, including those inside containers, in the window's collection order.
    virtual std::vector<std::string> controlNames() = 0;
    // Nullopt for a control that has no caption at all (lists, pictures, progress bar).
    virtual std::optional<std::string> caption(const std::string& name) = 0;
    virtual void setCaption(const std::string& name, const std::string& text) = 0;
    virtual void setWindowCaption(const std::string& text) = 0;
    // Closes the window as its title bar would (the unload step runs).
    virtual void closeWindow() = 0;

    virtual void setVisible(const std::string& name, bool visible) = 0;
    virtual bool isVisible(const std::string& name) = 0;  // the control's own flag
    virtual void setEnabled(const std::string& name, bool enabled) = 0;
    virtual bool isEnabled(const std::string& name) = 0;
    virtual void setBold(const std::string& name, bool bold) = 0;
    virtual bool isBold(const std::string& name) = 0;
    virtual void bringToFront(const std::string& name) = 0;

    virtual void setTabStop(const std::string& name, bool on) = 0;
    // The window-wide keyboard order, first to last.
    virtual void applyTabOrder(const std::vector<std::string>& order) = 0;

    virtual void clearList(const std::string& name) = 0;
    virtual void addListItem(const std::string& name, const std::string& text) = 0;
    virtual std::vector<std::string> listItems(const std::string& name) = 0;
    // Every row at once, in place of the old ones: a window shapes only the rows it shows, so a
    // list of many thousands costs no more to show than a screenful.
    virtual void setListItems(const std::string& name, const std::vector<std::string>& items) = 0;
    virtual std::string listItem(const std::string& name, int index) = 0;  // "" out of range
    virtual void setListItemText(const std::string& name, int index, const std::string& text) = 0;
    virtual int listSelectedIndex(const std::string& name) = 0;  // -1: none
    // A context menu of `name`, where the user asked for it (by the pointer or the keyboard);
    // the index of the choice taken, -1 when the menu was dismissed.
    virtual int popupMenu(const std::string& name, const std::vector<MenuChoice>& choices) = 0;

    virtual void addComboItem(const std::string& name, const std::string& text) = 0;
    virtual void setComboText(const std::string& name, const std::string& text) = 0;
    virtual std::string comboText(const std::string& name) = 0;
    virtual int comboSelectedIndex(const std::string& name) = 0;  // -1: none
    virtual void setComboSelectedIndex(const std::string& name, int index) = 0;
    virtual void setComboItemData(const std::string& name, int index, std::int32_t data) = 0;
    virtual std::int32_t comboItemData(const std::string& name, int index) = 0;

    virtual int checkValue(const std::string& name) = 0;  // 0 clear, 1 ticked, 2 greyed
    virtual void setCheckValue(const std::string& name, int value) = 0;

    virtual void setProgressMax(const std::string& name, std::int64_t max) = 0;
    virtual std::int64_t progressMax(const std::string& name) = 0;
    virtual void setProgressValue(const std::string& name, std::int64_t value) = 0;
    virtual std::int64_t progressValue(const std::string& name) = 0;
};

}  // namespace quenvor::ui
