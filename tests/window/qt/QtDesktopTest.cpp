// What the Qt window takes from the desktop: Qt's own texts in the program's language, and the
// opener's answer when the desktop cannot open a page.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "ui/StringTable.h"
#include "window/qt/QtDocumentOpener.h"
#include "window/qt/QtTranslations.h"

using namespace quenvor;

class QtDesktopTest : public QObject {
    Q_OBJECT

private slots:
    // Through the real widgets: a question's buttons follow the language as it changes.
    void aQuestionsButtonsFollowTheLanguage() {
        std::int32_t language = ui::kSpanish;
        window::QtTranslations texts([&language] { return language; });
        if (!texts.hasSpanish()) QSKIP("Qt's Spanish (qtbase_es.qm, qt6-translations-l10n) is not installed");
        QCoreApplication::installTranslator(&texts);
        const auto buttons = [] {
            QMessageBox box(QMessageBox::Question, "Quenvor", "?", QMessageBox::Yes | QMessageBox::No);
            return QStringList{box.button(QMessageBox::Yes)->text().remove('&'),
                               box.button(QMessageBox::No)->text().remove('&')};
        };
        QCOMPARE(buttons(), (QStringList{QString::fromUtf8("Sí"), "No"}));
        language = ui::kEnglish;
        QCOMPARE(buttons(), (QStringList{"Yes", "No"}));
        QCoreApplication::removeTranslator(&texts);
    }

    // xdg-open's answer is the opener's: a desktop without a program for the page fails.
    void theOpenerSaysWhatXdgOpenAnswered() {
        QTemporaryDir dir;
        const QString page = dir.filePath("quenvor.htm");
        QFile(page).open(QIODevice::WriteOnly);
        const QString tool = dir.filePath("xdg-open");
        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8() + ":" + oldPath);
        window::QtDocumentOpener opener;
        for (const auto& [exitCode, opened] : {std::pair{3, false}, std::pair{0, true}}) {
            QFile script(tool);
            script.open(QIODevice::WriteOnly | QIODevice::Truncate);
            script.write(QStringLiteral("#!/bin/sh\nexit %1\n").arg(exitCode).toUtf8());
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            const auto status = opener.open(page.toStdString(), 0);
            QCOMPARE(status.ok(), opened);
            if (!opened) QVERIFY(status.error().message.find("no program") != std::string::npos);
        }
        const auto missing = opener.open(dir.filePath("gone.htm").toStdString(), 0);
        QVERIFY(!missing.ok());
        qputenv("PATH", oldPath);
    }
};

QTEST_MAIN(QtDesktopTest)
#include "QtDesktopTest.moc"
