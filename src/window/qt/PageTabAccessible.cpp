#include "window/qt/PageTabAccessible.h"

#include "window/qt/PageTabs.h"
#include "window/qt/PageTabsAccessible.h"

namespace quenvor::window {

PageTabAccessible::PageTabAccessible(PageTabsAccessible* list, int page) : m_list(list), m_page(page) {}

bool PageTabAccessible::isValid() const { return m_list->isValid(); }

QAccessibleInterface* PageTabAccessible::parent() const { return m_list; }

QString PageTabAccessible::text(QAccessible::Text t) const {
    return t == QAccessible::Name ? m_list->tabs()->tabName(m_page) : QString();
}

QRect PageTabAccessible::rect() const {
    const PageTabs* tabs = m_list->tabs();
    const QRect local = tabs->tabRect(m_page);
    return local.isValid() ? QRect(tabs->mapToGlobal(local.topLeft()), local.size()) : QRect();
}

QAccessible::State PageTabAccessible::state() const {
    const PageTabs* tabs = m_list->tabs();
    QAccessible::State s;
    s.selectable = true;
    s.focusable = true;
    s.selected = tabs->current() == m_page;
    s.focused = s.selected && tabs->hasFocus();
    s.invisible = !tabs->isVisible();
    return s;
}

void* PageTabAccessible::interface_cast(QAccessible::InterfaceType type) {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
}

QStringList PageTabAccessible::actionNames() const { return {pressAction()}; }

void PageTabAccessible::doAction(const QString& name) {
    if (name == pressAction()) emit m_list->tabs()->pageRequested(m_page);
}

}  // namespace quenvor::window
