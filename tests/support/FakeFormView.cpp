#include "support/FakeFormView.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "ui/FormDesign.h"

namespace quenvor::test {

using ui::ControlKind;

FakeFormView::FakeFormView() {
    for (const auto& design : ui::FormDesign::controls()) {
        Control c;
        const bool hasCaption = design.kind == ControlKind::Label || design.kind == ControlKind::Button ||
                                design.kind == ControlKind::CheckBox;
        if (hasCaption) c.caption = design.caption;
        c.visible = design.visible;
        c.enabled = design.enabled;
        c.bold = design.bold;
        c.check = design.check;
        m_controls[design.name] = c;
        m_names.push_back(design.name);
        tabOrder.push_back(design.name);
    }
}

FakeFormView::Control& FakeFormView::at(const std::string& name) {
    auto it = m_controls.find(name);
    if (it == m_controls.end()) {
        // The logic runs its view updates guarded, so a throw alone would pass unseen.
        ADD_FAILURE() << "no control named " << name << " in the form design";
        throw std::out_of_range("no control " + name);
    }
    return it->second;
}

std::vector<std::string> FakeFormView::keyboardOrder() {
    std::vector<std::string> out;
    for (const auto& n : tabOrder) {
        const auto* design = ui::FormDesign::find(n);
        const bool shown = at(n).visible && (design->parent.empty() || at(design->parent).visible);
        if (design->takesFocus && shown && at(n).tabStop) out.push_back(n);
    }
    return out;
}

std::vector<std::string> FakeFormView::controlNames() { return m_names; }

std::optional<std::string> FakeFormView::caption(const std::string& name) {
    if (throwOnCaption && name == "lblTitle") throw std::runtime_error("caption unavailable");
    return at(name).caption;
}

void FakeFormView::setCaption(const std::string& name, const std::string& text) {
    auto& c = at(name);
    if (!c.caption) {
        ADD_FAILURE() << name << " has no caption to set";
        throw std::invalid_argument(name + " has no caption");
    }
    c.caption = text;
    log.push_back("caption " + name + "=" + text);
}

void FakeFormView::setWindowCaption(const std::string& text) {
    windowCaption = text;
    log.push_back("window " + text);
}

void FakeFormView::setVisible(const std::string& name, bool visible) { at(name).visible = visible; }
bool FakeFormView::isVisible(const std::string& name) { return at(name).visible; }
void FakeFormView::setEnabled(const std::string& name, bool enabled) { at(name).enabled = enabled; }
bool FakeFormView::isEnabled(const std::string& name) { return at(name).enabled; }
void FakeFormView::setBold(const std::string& name, bool bold) { at(name).bold = bold; }
bool FakeFormView::isBold(const std::string& name) { return at(name).bold; }

void FakeFormView::bringToFront(const std::string& name) {
    at(name);
    front.push_back(name);
    log.push_back("front " + name);
}

void FakeFormView::setTabStop(const std::string& name, bool on) { at(name).tabStop = on; }
void FakeFormView::applyTabOrder(const std::vector<std::string>& order) { tabOrder = order; }

void FakeFormView::clearList(const std::string& name) {
    at(name).items.clear();
    at(name).selected = -1;
}

void FakeFormView::addListItem(const std::string& name, const std::string& text) {
    at(name).items.push_back(text);
    log.push_back("list " + name + "+" + text);
}

std::vector<std::string> FakeFormView::listItems(const std::string& name) { return at(name).items; }

void FakeFormView::setListItems(const std::string& name, const std::vector<std::string>& items) {
    auto& c = at(name);
    c.items.clear();
    c.selected = -1;
    for (const auto& item : items) addListItem(name, item);
}

std::string FakeFormView::listItem(const std::string& name, int index) {
    const auto& items = at(name).items;
    return index >= 0 && static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)]
                                                                        : std::string();
}

void FakeFormView::setListItemText(const std::string& name, int index, const std::string& text) {
    at(name).items.at(static_cast<std::size_t>(index)) = text;
    log.push_back("row " + name + "[" + std::to_string(index) + "]=" + text);
}

int FakeFormView::popupMenu(const std::string& name, const std::vector<ui::MenuChoice>& choices) {
    at(name);
    menus.push_back(choices);
    const int pick = std::exchange(menuPick, -1);
    // A greyed line cannot be taken.
    if (pick >= 0 &&
        (static_cast<std::size_t>(pick) >= choices.size() || !choices[static_cast<std::size_t>(pick)].enabled))
        return -1;
    return pick;
}

void FakeFormView::addComboItem(const std::string& name, const std::string& text) {
    at(name).items.push_back(text);
    log.push_back("combo " + name + "+" + text);
}

void FakeFormView::setComboText(const std::string& name, const std::string& text) {
    auto& c = at(name);
    c.comboText = text;
    c.selected = -1;
}

std::string FakeFormView::comboText(const std::string& name) {
    auto& c = at(name);
    return c.selected >= 0 ? c.items.at(static_cast<std::size_t>(c.selected)) : c.comboText;
}

int FakeFormView::comboSelectedIndex(const std::string& name) { return at(name).selected; }
void FakeFormView::setComboSelectedIndex(const std::string& name, int index) { at(name).selected = index; }
void FakeFormView::setComboItemData(const std::string& name, int index, std::int32_t data) {
    at(name).itemData[index] = data;
}
std::int32_t FakeFormView::comboItemData(const std::string& name, int index) { return at(name).itemData.at(index); }

int FakeFormView::checkValue(const std::string& name) { return at(name).check; }
void FakeFormView::setCheckValue(const std::string& name, int value) {
    at(name).check = value;
    log.push_back("check " + name + "=" + std::to_string(value));
}

void FakeFormView::setProgressMax(const std::string& name, std::int64_t max) { at(name).progressMax = max; }
std::int64_t FakeFormView::progressMax(const std::string& name) { return at(name).progressMax; }
void FakeFormView::setProgressValue(const std::string& name, std::int64_t value) { at(name).progressValue = value; }
std::int64_t FakeFormView::progressValue(const std::string& name) { return at(name).progressValue; }

}  // namespace quenvor::test
