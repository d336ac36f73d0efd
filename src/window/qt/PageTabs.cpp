#include "window/qt/PageTabs.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QLabel>

#include "ui/Accelerator.h"
#include "ui/FormDesign.h"
#include "ui/PageOrder.h"
#include "window/qt/QtText.h"
#include "window/qt/TabStripPicture.h"

namespace quenvor::window {

PageTabs::PageTabs(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("pageTabs"));
    // In the keyboard order like a desktop tab bar; a click lands on the strips, which answer it.
    setFocusPolicy(Qt::TabFocus);
}

void PageTabs::setCurrent(int page) {
    if (page == m_current) return;
    m_current = page;
    if (hasFocus()) showFocus(true);
    tellCurrent();
}

QString PageTabs::tabName(int page) const {
    const auto* caption = findChild<QLabel*>(qs(ui::FormDesign::member("lblP1Tab" + std::to_string(page), 0)));
    return caption ? qs(ui::Accelerator::plain(us(caption->text()))) : QString();
}

QRect PageTabs::tabRect(int page) const {
    const auto* hot = findChild<QWidget*>(qs(ui::FormDesign::member("imgP1Tab" + std::to_string(page), m_current - 1)));
    return hot ? QRect(hot->mapTo(this, QPoint(0, 0)), hot->size()) : QRect();
}

void PageTabs::keyPressEvent(QKeyEvent* event) {
    int page = 0;
    if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
        switch (event->key()) {
            case Qt::Key_Left:
            case Qt::Key_Up:
                page = m_current > 1 ? m_current - 1 : 0;
                break;
            case Qt::Key_Right:
            case Qt::Key_Down:
                page = m_current < ui::kTabCount ? m_current + 1 : 0;
                break;
            case Qt::Key_Home:
                page = ui::PageOrder::step(m_current, ui::PageStep::First);
                break;
            case Qt::Key_End:
                page = ui::PageOrder::step(m_current, ui::PageStep::Last);
                break;
            default:
                break;
        }
    }
    if (page == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
    if (page != m_current) emit pageRequested(page);
}

void PageTabs::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    showFocus(true);
    tellCurrent();
}

void PageTabs::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    showFocus(false);
}

// Each strip draws the ring on its own current tab; the strips behind would show theirs through
// the gaps of the one in front.
void PageTabs::showFocus(bool shown) {
    for (auto* strip : findChildren<TabStripPicture*>())
        strip->setFocusShown(shown && strip->objectName() == QStringLiteral("imgTab%1").arg(m_current));
}

void PageTabs::tellCurrent() {
    if (!QAccessible::isActive()) return;
    const int child = m_current - 1;
    if (hasFocus()) {
        QAccessibleEvent focus(this, QAccessible::Focus);
        focus.setChild(child);
        QAccessible::updateAccessibility(&focus);
    }
    QAccessibleEvent selection(this, QAccessible::Selection);
    selection.setChild(child);
    QAccessible::updateAccessibility(&selection);
}

}  // namespace quenvor::window
