#include "window/qt/QtUiServices.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>
#include <QSettings>

#include "window/qt/DetailsMessageBox.h"
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

// Qt's own file dialogs keep the folders they visited, their history and their layout in the
// user's "QtProject" settings file; a privacy tool must not leave such a record. The file is
// put back as it was once the dialog is gone: removed when it did not exist before, its earlier
// contents restored otherwise (another Qt program's settings are not ours to lose).
class DialogTraceGuard {
public:
    DialogTraceGuard()
        : m_file(QSettings(QSettings::UserScope, QStringLiteral("QtProject")).fileName()),
          m_folderExisted(QFileInfo(m_file).dir().exists()) {
        QFile f(m_file);
        m_existed = f.exists();
        if (m_existed && f.open(QIODevice::ReadOnly)) m_before = f.readAll();
    }
    DialogTraceGuard(const DialogTraceGuard&) = delete;
    DialogTraceGuard& operator=(const DialogTraceGuard&) = delete;
    ~DialogTraceGuard() {
        if (!m_existed) {
            QFile::remove(m_file);
            // Only an empty folder goes, and only one that the dialog itself made.
            if (!m_folderExisted) QDir().rmdir(QFileInfo(m_file).path());
            return;
        }
        QFile now(m_file);
        if (now.open(QIODevice::ReadOnly) && now.readAll() == m_before) return;
        now.close();
        QSaveFile restore(m_file);
        if (restore.open(QIODevice::WriteOnly)) {
            restore.write(m_before);
            (void)restore.commit();
        }
    }

private:
    QString m_file;
    bool m_folderExisted = false;
    bool m_existed = false;
    QByteArray m_before;
};

// The widget dialogs, whose state is known: a desktop's own dialog keeps lists of recent
// places of its own that the guard above cannot reach.
constexpr QFileDialog::Option kOwnDialog = QFileDialog::DontUseNativeDialog;

// A dialog asked for no folder opens in the user's home, not in the folder the program was
// started from.
QString startFolder(const std::string& asked) { return asked.empty() ? QDir::homePath() : qs(asked); }

}  // namespace

ui::MsgAnswer QtUiServices::messageBox(const std::string& text, const std::string& title, ui::MsgButtons buttons,
                                       ui::MsgIcon icon, ui::MsgDefault defaultButton) {
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
    // The second button of each set, as MB_DEFBUTTON2 picks it on Windows.
    if (defaultButton == ui::MsgDefault::Second && buttons != ui::MsgButtons::Ok)
        box.setDefaultButton(buttons == ui::MsgButtons::OkCancel ? QMessageBox::Cancel : QMessageBox::No);
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

ui::MsgAnswer QtUiServices::messageBoxWithDetails(const std::string& text, const std::string& title,
                                                  ui::MsgButtons buttons, ui::MsgIcon icon,
                                                  ui::MsgDefault defaultButton, const std::string& detailsButton,
                                                  const std::vector<std::string>& details) {
    DetailsMessageBox box(m_parent, text, title, buttons, icon, defaultButton, detailsButton, details);
    const bool busy = m_busyCursor;
    if (busy) QApplication::restoreOverrideCursor();
    box.exec();
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    return box.answer();
}

ui::FileDialogResult QtUiServices::openFileDialog(const ui::FileDialogRequest& request) {
    QStringList filters;
    for (const auto& [description, patterns] : request.filters)
        filters << QStringLiteral("%1 (%2)").arg(displayText(description), patternList(patterns));
    const DialogTraceGuard trace;
    QFileDialog dialog(m_parent, displayText(request.title), startFolder(request.initialDir));
    dialog.setOption(kOwnDialog);
    dialog.setHistory({});
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
    const DialogTraceGuard trace;
    QFileDialog dialog(m_parent, displayText(request.title), startFolder(request.initialDir));
    dialog.setOptions(kOwnDialog | QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setHistory({});
    // Accepting with an empty name box would choose the folder the dialog opened in, which the
    // user never picked: that is a cancel.
    bool named = false;
    const auto* nameBox = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    QObject::connect(&dialog, &QFileDialog::fileSelected, &dialog,
                     [&](const QString&) { named = !nameBox || !nameBox->text().trimmed().isEmpty(); });
    if (dialog.exec() != QDialog::Accepted || !named) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? std::string() : us(chosen.front());
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
