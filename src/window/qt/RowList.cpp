#include "window/qt/RowList.h"

#include <utility>

#include "window/qt/QtText.h"

namespace quenvor::window {

int RowList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QVariant RowList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    // The row's text is its accessible name too: a kept site's mark is read as it is seen.
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return qs(m_rows[static_cast<std::size_t>(index.row())]);
    return {};
}

void RowList::setRows(std::vector<std::string> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void RowList::append(const std::string& row) {
    const int at = rowCount();
    beginInsertRows({}, at, at);
    m_rows.push_back(row);
    endInsertRows();
}

void RowList::setRow(int index, const std::string& text) {
    if (index < 0 || index >= rowCount()) return;
    m_rows[static_cast<std::size_t>(index)] = text;
    const QModelIndex at = this->index(index);
    emit dataChanged(at, at);
}

}  // namespace quenvor::window
