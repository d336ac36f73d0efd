#include "window/qt/RowView.h"

#include <QKeyEvent>

#include "window/qt/RowList.h"

namespace quenvor::window {

RowView::RowView(QWidget* parent) : QListView(parent), m_rows(new RowList(this)) {
    setModel(m_rows);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

QPoint RowView::keyboardMenuPoint() const {
    const QRect row = visualRect(currentIndex());
    return row.isValid() && viewport()->rect().intersects(row) ? row.bottomLeft() + QPoint(8, 0) : QPoint(4, 4);
}

void RowView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        emit customContextMenuRequested(keyboardMenuPoint());
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

}  // namespace quenvor::window
