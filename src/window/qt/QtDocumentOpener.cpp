#include "window/qt/QtDocumentOpener.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

namespace quenvor::window {

bool QtDocumentOpener::open(const std::string& address, std::uintptr_t) {
    const QString a = QString::fromUtf8(address.data(), static_cast<qsizetype>(address.size()));
    const QUrl candidate(a);
    // A path is opened as a file URL; anything with a scheme of its own goes as it is.
    const bool isPath = QDir::isAbsolutePath(a) || candidate.scheme().size() <= 1;
    return QDesktopServices::openUrl(isPath ? QUrl::fromLocalFile(a) : candidate);
}

}  // namespace quenvor::window
