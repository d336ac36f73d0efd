#include "window/qt/QtUiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "window/qt/QtText.h"

namespace quenvor::window {
namespace {

// "*.*" means every file on Windows; on POSIX it would skip names without a dot.
QString patternList(const std::string& patterns) {
    QString p = qs(patterns);
    p.replace(';', ' ');
    QStringList parts = p.split(' ', Qt::SkipEmptyParts);
    for (auto& part : parts)
        if (part == QLatin1String("*.*")) part = QStringLiteral("*");
    return parts.join(' ');
}

}  // namespace

ui::MsgAnswer QtUiServices::messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                       ui::MsgIcon icon) {
    QMessageBox box(m_parent);
    box.setWindowTitle(displayText(title));
    box.setText(displayText(text));
    box.setTextFormat(Qt::PlainText);
    switch (icon) {
        case ui::MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case ui::MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case ui::MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case ui::MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case ui::MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
    }
    switch (buttons) {
        case ui::MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case ui::MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case ui::MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case ui::MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    // A busy pointer must not hide the fact that the box wants an answer.
    const bool busy = m_busyCursor;
    if (busy) QApplication::restoreOverrideCursor();
    const int answer = box.exec();
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    switch (answer) {
        case QMessageBox::Yes:
            return ui::MsgAnswer::Yes;
        case QMessageBox::No:
            return ui::MsgAnswer::No;
        case QMessageBox::Ok:
            return ui::MsgAnswer::Ok;
        default:
            return ui::MsgAnswer::Cancel;
    }
}

ui::FileDialogResult QtUiServices::openFileDialog(const ui::FileDialogRequest& request) {
    QStringList filters;
    for (const auto& [description, patterns] : request.filters)
        filters << QStringLiteral("%1 (%2)").arg(displayText(description), patternList(patterns));
    QFileDialog dialog(m_parent, displayText(request.title), qs(request.initialDir));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiSelect     ? QFileDialog::ExistingFiles
                       : request.fileMustExist ? QFileDialog::ExistingFile
                                               : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
        dialog.selectNameFilter(filters[request.filterIndex - 1]);
    // Links are shown as themselves, so the user picks the link and not what it points to.
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    if (!request.initialFile.empty()) dialog.selectFile(qs(request.initialFile));
    ui::FileDialogResult result;
    if (dialog.exec() != QDialog::Accepted) return result;
    const QStringList files = dialog.selectedFiles();
    const QString selected = dialog.selectedNameFilter();
    if (files.isEmpty()) return result;
    result.accepted = true;
    for (const auto& f : files) result.files.push_back(us(f));
    result.filterIndex = static_cast<int>(filters.indexOf(selected)) + 1;
    return result;
}

std::string QtUiServices::browseForFolder(const ui::FolderDialogRequest& request) {
    const QString dir = QFileDialog::getExistingDirectory(m_parent, displayText(request.title), qs(request.initialDir),
                                                          QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    return us(dir);
}

void QtUiServices::setMousePointer(ui::MousePointer pointer) {
    const bool busy = pointer == ui::MousePointer::Hourglass;
    if (busy == m_busyCursor) return;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
    m_busyCursor = busy;
}

void QtUiServices::processPendingEvents() { QCoreApplication::processEvents(); }

void QtUiServices::endProgram() { QCoreApplication::exit(0); }

}  // namespace quenvor::window
