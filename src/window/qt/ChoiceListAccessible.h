#pragma once
#include <QAccessibleWidget>

class QComboBox;

namespace quenvor::window {

// A drop-down list of the window to a screen reader: named by what it is for (its label, or the
// word it shows before any pick), its pick read as its value. Qt's own names it after the
// pick on Linux, so the language box said "English" and the level box "Secure".
class ChoiceListAccessible : public QAccessibleWidget {
public:
    explicit ChoiceListAccessible(QComboBox* list);

    // For QAccessible::installFactory.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    QString text(QAccessible::Text t) const override;
    QAccessible::State state() const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QStringList actionNames() const override;
    void doAction(const QString& name) override;

private:
    QComboBox* list() const;
};

}  // namespace quenvor::window
