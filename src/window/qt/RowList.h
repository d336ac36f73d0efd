#pragma once
#include <QAbstractListModel>
#include <string>
#include <vector>

namespace quenvor::window {

// The rows of one of page one's lists as the logic gave them: kept as they came and turned into
// Qt's text only when a row is drawn or read, so tens of thousands of rows cost no more to
// show than the few in view.
class RowList : public QAbstractListModel {
    Q_OBJECT
public:
    explicit RowList(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    const std::vector<std::string>& rows() const { return m_rows; }
    void setRows(std::vector<std::string> rows);
    void append(const std::string& row);
    void setRow(int index, const std::string& text);

private:
    std::vector<std::string> m_rows;
};

}  // namespace quenvor::window
