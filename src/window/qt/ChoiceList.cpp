#include "window/qt/ChoiceList.h"

#include <QEvent>
#include <QWheelEvent>

namespace quenvor::window {

ChoiceList::ChoiceList(QWidget* parent) : QComboBox(parent) {
    setInsertPolicy(QComboBox::NoInsert);
    matchHintToText();
}

void ChoiceList::wheelEvent(QWheelEvent* event) {
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QComboBox::wheelEvent(event);
}

void ChoiceList::changeEvent(QEvent* event) {
    QComboBox::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange) matchHintToText();
}

void ChoiceList::matchHintToText() {
    QPalette pal = palette();
    bool changed = false;
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const QColor text = pal.color(group, QPalette::ButtonText);
        if (pal.color(group, QPalette::PlaceholderText) == text) continue;
        pal.setColor(group, QPalette::PlaceholderText, text);
        changed = true;
    }
    // Setting the palette raises another change event; only a real difference sets it.
    if (changed) setPalette(pal);
}

}  // namespace quenvor::window
