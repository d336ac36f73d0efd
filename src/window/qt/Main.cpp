#include "window/qt/Main.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QIcon>
#include <QTimer>

#include "platform/NativePlatform.h"
#include "shell/AppServices.h"
#include "window/qt/QtDocumentOpener.h"
#include "window/qt/QtSettingsStore.h"
#include "window/qt/QtTranslations.h"
#include "window/qt/QtUiServices.h"
#include "window/qt/frmStart.h"

// A static library's resources register only when asked, and the asking cannot be in a namespace.
static void initIcons() { Q_INIT_RESOURCE(icons); }

namespace quenvor::window {

void loadFonts() {
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma"))) return;
    // Wine's Tahoma lives outside fontconfig's folders. Its bold face draws almost like the
    // regular one at 11 pixels, so bold is left to Qt's emboldening of the regular face.
    const QString regular = QStringLiteral("/usr/share/wine/fonts/tahoma.ttf");
    if (QFile::exists(regular)) QFontDatabase::addApplicationFont(regular);
}

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quenvor"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quenvor.Quenvor"));
    initIcons();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/icons/%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    loadFonts();
    QFont base({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")});
    base.setPixelSize(11);
    QApplication::setFont(base);

    platform::NativePlatform native;
    shell::AppServices composed(native.services());
    auto& services = composed.services();
    QtSettingsStore settings;
    QtDocumentOpener opener;
    services.settings = &settings;
    services.opener = &opener;

    QtUiServices ui;
    frmStart form(ui, services);
    ui.setParentWindow(&form);
    // Asked at each of Qt's own texts, so the Settings page's language reaches them at once;
    // in place before the load, whose questions are already in the stored language.
    QtTranslations qtTexts([&form] { return form.logic().strings().language(); });
    QCoreApplication::installTranslator(&qtTexts);
    form.logic().Form_Load();
    form.show();
    // Once the window has been painted, so a question at start-up has its window behind it.
    QTimer::singleShot(0, &form, [&form] { form.logic().Form_Shown(); });
    return QApplication::exec();
}

}  // namespace quenvor::window
