#include "window/qt/ChoiceListAccessible.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

#include "window/qt/ChoiceList.h"

namespace quenvor::window {

ChoiceListAccessible::ChoiceListAccessible(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {}

QAccessibleInterface* ChoiceListAccessible::factory(const QString&, QObject* object) {
    auto* list = qobject_cast<ChoiceList*>(object);
    return list ? new ChoiceListAccessible(list) : nullptr;
}

QComboBox* ChoiceListAccessible::list() const { return static_cast<QComboBox*>(widget()); }

QString ChoiceListAccessible::text(QAccessible::Text t) const {
    if (t != QAccessible::Value) return QAccessibleWidget::text(t);
    if (list()->isEditable()) return list()->lineEdit()->text();
    return list()->currentIndex() < 0 ? QString() : list()->currentText();
}

QAccessible::State ChoiceListAccessible::state() const {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = list()->view()->isVisible();
    s.editable = list()->isEditable();
    return s;
}

// The list of choices, and the box the text is typed in when it may be typed.
int ChoiceListAccessible::childCount() const { return list()->isEditable() ? 2 : 1; }

QAccessibleInterface* ChoiceListAccessible::child(int index) const {
    if (index == 0) return QAccessible::queryAccessibleInterface(list()->view());
    if (index == 1 && list()->isEditable()) return QAccessible::queryAccessibleInterface(list()->lineEdit());
    return nullptr;
}

int ChoiceListAccessible::indexOfChild(const QAccessibleInterface* child) const {
    if (!child) return -1;
    if (child->object() == list()->view()) return 0;
    if (list()->isEditable() && child->object() == list()->lineEdit()) return 1;
    return -1;
}

QStringList ChoiceListAccessible::actionNames() const { return QAccessibleWidget::actionNames() << showMenuAction(); }

void ChoiceListAccessible::doAction(const QString& name) {
    if (name == showMenuAction() || name == pressAction()) {
        if (list()->view()->isVisible())
            list()->hidePopup();
        else
            list()->showPopup();
        return;
    }
    QAccessibleWidget::doAction(name);
}

}  // namespace quenvor::window
