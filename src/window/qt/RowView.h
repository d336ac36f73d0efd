#pragma once
#include <QListView>

namespace quenvor::window {

class RowList;

// One of page one's lists: rows of one height over a RowList, so only the rows in view are
// ever laid out. Shift+F10 opens its context menu as the menu key does, at the current row.
class RowView : public QListView {
    Q_OBJECT
public:
    explicit RowView(QWidget* parent = nullptr);
    RowList& rows() const { return *m_rows; }
    // Where a context menu asked for from the keyboard opens: under the current row, or at the
    // list's top corner when none is current.
    QPoint keyboardMenuPoint() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    RowList* m_rows;
};

}  // namespace quenvor::window
