#include "window/qt/DetailsMessageBox.h"

#include <QAbstractListModel>
#include <QAccessible>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <climits>

#include "ui/Accelerator.h"
#include "window/qt/QtText.h"

namespace quenvor::window {
namespace {

// The lines as the list asks for them: only the rows in view are ever turned into text.
class LineModel : public QAbstractListModel {
public:
    LineModel(const std::vector<std::string>& lines, QObject* parent) : QAbstractListModel(parent), m_lines(lines) {}
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(std::min<std::size_t>(m_lines.size(), INT_MAX));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
        return qs(m_lines[static_cast<std::size_t>(index.row())]);
    }

private:
    const std::vector<std::string>& m_lines;
};

// The picture QMessageBox shows for each icon, none for None.
bool boxIcon(ui::MsgIcon icon, QStyle::StandardPixmap& picture) {
    switch (icon) {
        case ui::MsgIcon::Critical:
            picture = QStyle::SP_MessageBoxCritical;
            return true;
        case ui::MsgIcon::Question:
            picture = QStyle::SP_MessageBoxQuestion;
            return true;
        case ui::MsgIcon::Exclamation:
            picture = QStyle::SP_MessageBoxWarning;
            return true;
        case ui::MsgIcon::Information:
            picture = QStyle::SP_MessageBoxInformation;
            return true;
        case ui::MsgIcon::None:
            break;
    }
    return false;
}

QDialogButtonBox::StandardButtons standardButtons(ui::MsgButtons buttons) {
    switch (buttons) {
        case ui::MsgButtons::Ok:
            return QDialogButtonBox::Ok;
        case ui::MsgButtons::OkCancel:
            return QDialogButtonBox::Ok | QDialogButtonBox::Cancel;
        case ui::MsgButtons::YesNo:
            return QDialogButtonBox::Yes | QDialogButtonBox::No;
        case ui::MsgButtons::YesNoCancel:
            break;
    }
    return QDialogButtonBox::Yes | QDialogButtonBox::No | QDialogButtonBox::Cancel;
}

constexpr int kListRows = 16;
constexpr int kOpenChars = 110;  // room for a long path before it is cut

}  // namespace

DetailsMessageBox::DetailsMessageBox(QWidget* parent, const std::string& text, const std::string& title,
                                     ui::MsgButtons buttons, ui::MsgIcon icon, ui::MsgDefault defaultButton,
                                     const std::string& detailsButton, const std::vector<std::string>& details)
    : QDialog(parent), m_details(details), m_buttons(buttons) {
    setWindowTitle(displayText(title));
    setAccessibleName(displayText(title));
    auto* grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    if (QStyle::StandardPixmap which{}; boxIcon(icon, which)) {
        const int side = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        auto* picture = new QLabel(this);
        picture->setPixmap(style()->standardIcon(which, nullptr, this).pixmap(QSize(side, side), devicePixelRatio()));
        picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(picture, 0, 0, Qt::AlignTop);
    }
    auto* label = new QLabel(displayText(text), this);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // As wide as a message box lets its text grow before it wraps.
    label->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
    label->setMaximumWidth(fontMetrics().averageCharWidth() * 80);
    grid->addWidget(label, 0, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing) * 2);

    // The list's button stands apart at the left, so a hurried hand does not take it for an answer.
    m_detailsButton = new QPushButton(this);
    auto* box = new QDialogButtonBox(standardButtons(buttons), Qt::Horizontal, this);
    QString others;
    for (QAbstractButton* b : box->buttons()) others += b->text() + ' ';
    m_detailsButton->setText(displayText(ui::Accelerator::mark(detailsButton, us(others))));
    m_detailsButton->setCheckable(true);
    m_detailsButton->setAutoDefault(false);
    m_detailsButton->setAccessibleName(qs(ui::Accelerator::plain(detailsButton)));
    auto* row = new QHBoxLayout;
    row->addWidget(m_detailsButton);
    row->addSpacing(fontMetrics().averageCharWidth() * 4);
    row->addStretch(1);
    row->addWidget(box);
    grid->addLayout(row, 2, 0, 1, 2);

    // The second button of each set, as MB_DEFBUTTON2 picks it on Windows.
    QPushButton* chosen = nullptr;
    if (defaultButton == ui::MsgDefault::Second && buttons != ui::MsgButtons::Ok)
        chosen = box->button(buttons == ui::MsgButtons::OkCancel ? QDialogButtonBox::Cancel : QDialogButtonBox::No);
    else
        chosen =
            box->button(buttons == ui::MsgButtons::Ok || buttons == ui::MsgButtons::OkCancel ? QDialogButtonBox::Ok
                                                                                             : QDialogButtonBox::Yes);
    for (QAbstractButton* b : box->buttons())
        if (auto* push = qobject_cast<QPushButton*>(b); push && push != m_detailsButton) push->setAutoDefault(true);
    chosen->setDefault(true);
    chosen->setFocus();
    connect(box, &QDialogButtonBox::clicked, this, &DetailsMessageBox::buttonClicked);
    connect(m_detailsButton, &QPushButton::toggled, this, &DetailsMessageBox::showDetails);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

void DetailsMessageBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // What QMessageBox does: screen readers announce the box, desktops sound its alert.
    QAccessibleEvent alert(this, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

void DetailsMessageBox::buttonClicked(QAbstractButton* button) {
    auto* box = qobject_cast<QDialogButtonBox*>(sender());
    switch (box ? box->standardButton(button) : QDialogButtonBox::NoButton) {
        case QDialogButtonBox::Yes:
            m_answer = ui::MsgAnswer::Yes;
            break;
        case QDialogButtonBox::No:
            m_answer = ui::MsgAnswer::No;
            break;
        case QDialogButtonBox::Ok:
            m_answer = ui::MsgAnswer::Ok;
            break;
        default:
            m_answer = ui::MsgAnswer::Cancel;
            break;
    }
    done(static_cast<int>(m_answer));
}

// Esc or the title bar's close: the answer that changes nothing.
void DetailsMessageBox::reject() {
    m_answer = m_buttons == ui::MsgButtons::Ok      ? ui::MsgAnswer::Ok
               : m_buttons == ui::MsgButtons::YesNo ? ui::MsgAnswer::No
                                                    : ui::MsgAnswer::Cancel;
    done(static_cast<int>(m_answer));
}

void DetailsMessageBox::showDetails(bool shown) {
    auto* grid = static_cast<QGridLayout*>(layout());
    if (!m_list) {
        m_list = new QListView(this);
        m_list->setUniformItemSizes(true);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_list->setWordWrap(false);
        // A path cut in the middle keeps its browser and its file name; the tooltip has it whole.
        m_list->setTextElideMode(Qt::ElideMiddle);
        m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_list->setAccessibleName(m_detailsButton->accessibleName());
        m_list->setModel(new LineModel(m_details, m_list));
        m_list->setMinimumHeight(m_list->fontMetrics().height() * 6);
        grid->addWidget(m_list, 1, 0, 1, 2);
        setTabOrder(m_list, m_detailsButton);
    }
    if (shown) {
        m_closedSize = size();
        // The question keeps every line it had; the list takes what room is left.
        if (QLayoutItem* question = grid->itemAtPosition(0, 1); question && question->widget())
            question->widget()->setMinimumHeight(question->widget()->height());
        grid->setRowStretch(1, 1);
        m_list->show();
        // Open, the box may be resized to read more of the list.
        grid->setSizeConstraint(QLayout::SetDefaultConstraint);
        setMinimumSize(m_closedSize.width(), m_closedSize.height() + m_list->minimumHeight());
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        QSize wanted(std::max(m_closedSize.width(), fontMetrics().averageCharWidth() * kOpenChars),
                     m_closedSize.height() + m_list->fontMetrics().height() * kListRows + grid->spacing() * 2);
        if (const QScreen* s = screen()) wanted = wanted.boundedTo(s->availableGeometry().size() * 9 / 10);
        resize(wanted);
    } else {
        m_list->hide();
        setMinimumSize(0, 0);
        grid->setSizeConstraint(QLayout::SetFixedSize);
    }
}

}  // namespace quenvor::window
