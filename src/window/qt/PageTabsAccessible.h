#pragma once
#include <QAccessibleWidget>
#include <map>

namespace quenvor::window {

class PageTabs;

// The tab strips to a screen reader: a page tab list of one tab per page, the shown one
// selected; the pictures and captions the strips are drawn with are left out.
class PageTabsAccessible : public QAccessibleWidget {
public:
    explicit PageTabsAccessible(PageTabs* tabs);
    ~PageTabsAccessible() override;

    // For QAccessible::installFactory.
    static QAccessibleInterface* factory(const QString& className, QObject* object);

    PageTabs* tabs() const;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override;

private:
    mutable std::map<int, QAccessible::Id> m_children;
};

}  // namespace quenvor::window
