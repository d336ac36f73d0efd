#include "window/qt/PageTabsAccessible.h"

#include "ui/FormDesign.h"
#include "window/qt/PageTabAccessible.h"
#include "window/qt/PageTabs.h"

namespace quenvor::window {

PageTabsAccessible::PageTabsAccessible(PageTabs* tabs) : QAccessibleWidget(tabs, QAccessible::PageTabList) {}

PageTabsAccessible::~PageTabsAccessible() {
    for (const auto& [index, id] : m_children) QAccessible::deleteAccessibleInterface(id);
}

QAccessibleInterface* PageTabsAccessible::factory(const QString&, QObject* object) {
    auto* tabs = qobject_cast<PageTabs*>(object);
    return tabs ? new PageTabsAccessible(tabs) : nullptr;
}

PageTabs* PageTabsAccessible::tabs() const { return static_cast<PageTabs*>(widget()); }

int PageTabsAccessible::childCount() const { return ui::kTabCount; }

QAccessibleInterface* PageTabsAccessible::child(int index) const {
    if (index < 0 || index >= ui::kTabCount) return nullptr;
    if (const auto it = m_children.find(index); it != m_children.end())
        return QAccessible::accessibleInterface(it->second);
    auto* tab = new PageTabAccessible(const_cast<PageTabsAccessible*>(this), index + 1);
    m_children[index] = QAccessible::registerAccessibleInterface(tab);
    return tab;
}

int PageTabsAccessible::indexOfChild(const QAccessibleInterface* child) const {
    for (const auto& [index, id] : m_children)
        if (QAccessible::accessibleInterface(id) == child) return index;
    return -1;
}

QAccessibleInterface* PageTabsAccessible::childAt(int x, int y) const {
    for (int i = 0; i < ui::kTabCount; ++i)
        if (QAccessibleInterface* tab = child(i); tab->rect().contains(x, y)) return tab;
    return nullptr;
}

QAccessibleInterface* PageTabsAccessible::focusChild() const {
    return tabs()->hasFocus() ? child(tabs()->current() - 1) : nullptr;
}

}  // namespace quenvor::window
