#include "window/qt/QtDocumentOpener.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace quenvor::window {

namespace {

// xdg-open answers within this time whether the desktop found a program; a few of its
// fallbacks instead run the browser in the foreground, which counts as opened.
constexpr int kAnswerMs = 3000;

// What xdg-open's exit code says went wrong.
std::string xdgReason(int code) {
    switch (code) {
        case 2:
            return "the file was not found";
        case 3:
            return "no program to open it with was found (xdg-open)";
        default:
            return "the desktop could not open it (xdg-open ended with " + std::to_string(code) + ")";
    }
}

}  // namespace

platform::Status QtDocumentOpener::open(const std::string& address, std::uintptr_t) {
    const QString a = QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()));
    const QUrl candidate(a);
    // A path is opened as a file URL; anything with a scheme of its own goes as it is.
    const bool isPath = QDir::isAbsolutePath(a) || candidate.scheme().size() <= 1;
    if (isPath && !QFileInfo::exists(a)) return platform::Error{2, "the file was not found"};
    const QUrl url = isPath ? QUrl::fromLocalFile(a) : candidate;
#ifndef Q_OS_WIN
    // QDesktopServices only says whether xdg-open started, not whether the desktop had a program
    // for the page, so xdg-open is asked directly while it is there.
    auto* process = new QProcess(QCoreApplication::instance());
    process->start(QStringLiteral("xdg-open"), {isPath ? a : url.toString()});
    if (process->waitForStarted()) {
        if (!process->waitForFinished(kAnswerMs)) {
            // Still running: it has started a program. Waited for no longer, and never killed.
            QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
            return platform::Status::success();
        }
        const bool ok = process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
        const int code = process->exitCode();
        delete process;
        if (ok) return platform::Status::success();
        return platform::Error{code, xdgReason(code)};
    }
    delete process;
#endif
    if (QDesktopServices::openUrl(url)) return platform::Status::success();
    return platform::Error{0, "the desktop has no program to open it with"};
}

}  // namespace quenvor::window
