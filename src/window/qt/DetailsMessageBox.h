#pragma once
// A message box with a long list behind a button of its own: the list opens inside the box, under
// the question, and closes again on a second press, while the question stays open. Tens of
// thousands of lines cost nothing until the list is shown, and then only the rows in view.
#include <QDialog>
#include <string>
#include <vector>

#include "ui/IUiServices.h"

class QAbstractButton;
class QListView;
class QPushButton;

namespace quenvor::window {

class DetailsMessageBox : public QDialog {
    Q_OBJECT

public:
    // `details` is read, not copied: it must outlive the box.
    DetailsMessageBox(QWidget* parent, const std::string& text, const std::string& title, ui::MsgButtons buttons,
                      ui::MsgIcon icon, ui::MsgDefault defaultButton, const std::string& detailsButton,
                      const std::vector<std::string>& details);

    ui::MsgAnswer answer() const { return m_answer; }
    QPushButton* detailsButton() const { return m_detailsButton; }
    // Null until the list is first shown.
    QListView* detailsList() const { return m_list; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buttonClicked(QAbstractButton* button);
    void showDetails(bool shown);

    const std::vector<std::string>& m_details;
    QPushButton* m_detailsButton = nullptr;
    QListView* m_list = nullptr;
    ui::MsgButtons m_buttons;
    ui::MsgAnswer m_answer = ui::MsgAnswer::Cancel;
    QSize m_closedSize;
};

}  // namespace quenvor::window
