// The real window, driven headless as a user would: clicks, hovers, the language list.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "platform/EmbeddedStringResource.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxRandomSource.h"
#include "shredder/ShredderPage.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"
#include "ui/FormDesign.h"
#include "window/qt/Main.h"
#include "window/qt/QtSettingsStore.h"
#include "window/qt/frmStart.h"

using namespace quenvor;

class frmStartTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    platform::EmbeddedStringResource strings;
    platform::LinuxFileService files;
    platform::LinuxRandomSource random;
    window::QtSettingsStore settings;
    test::RecordingOpener opener;
    test::FixedFolders folders;

    std::unique_ptr<window::frmStart> open(test::ScriptedUi& ui) {
        platform::PlatformServices s;
        s.strings = &strings;
        s.settings = &settings;
        s.opener = &opener;
        s.folders = &folders;
        s.files = &files;
        s.random = &random;
        auto form = std::make_unique<window::frmStart>(ui, s);
        form->logic().Form_Load();
        form->show();
        if (!QTest::qWaitForWindowExposed(form.get())) qWarning("window not exposed");
        return form;
    }
    QString settingsFile() const { return home.path() + "/.config/QUENVOR/QUENVOR.conf"; }
    template <class T>
    T* w(window::frmStart& f, const char* name) {
        return qobject_cast<T*>(f.control(name));
    }
    void click(QWidget* target) { QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center()); }

private slots:
    void initTestCase() {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toUtf8());
        window::loadFonts();
    }
    void cleanup() {
        // QSettings caches files per process: clear through it, not behind its back.
        QSettings s(QSettings::NativeFormat, QSettings::UserScope, "QUENVOR", "QUENVOR");
        s.clear();
        s.sync();
    }

    void everyControlIsNamedAndPlaced() {
        test::ScriptedUi ui;
        auto f = open(ui);
        QCOMPARE(f->size(), QSize(615, 424));
        for (const auto& design : ui::FormDesign::controls()) {
            QWidget* c = f->findChild<QWidget*>(QString::fromStdString(design.name));
            QVERIFY2(c, design.name.c_str());
            QCOMPARE(c->pos(), QPoint((design.left + 7) / 15, (design.top + 7) / 15));
            if (!design.autoSize) QCOMPARE(c->size(), QSize((design.width + 7) / 15, (design.height + 7) / 15));
        }
        QCOMPARE(f->windowTitle(), QString("Quenvor"));
        QCOMPARE(w<QPushButton>(*f, "cmdHelp")->text(), QString("&Help"));
        QVERIFY(!w<QPushButton>(*f, "cmdDelete")->isEnabled());
    }

    void captionsFitTheirControlsInBothLanguages() {
        for (const char* lang : {"1053", "1034"}) {
            QVERIFY(settings.write("QUENVOR", "SETTINGS", "LANGUAGE", lang).ok());
            test::ScriptedUi ui;
            auto f = open(ui);
            for (int page = 1; page <= 4; ++page) {
                f->logic().pages().lblP1Tab_Click(page);
                for (QLabel* l : f->findChildren<QLabel*>()) {
                    if (!l->isVisibleTo(f.get()) || l->text().isEmpty()) continue;
                    const QSize need = l->wordWrap() ? QSize(l->width(), l->heightForWidth(l->width())) : l->sizeHint();
                    QVERIFY2(need.width() <= l->width() + 1 && need.height() <= l->height() + 1,
                             qPrintable(QString("%1 (%2) needs %3x%4, has %5x%6")
                                            .arg(l->objectName(), lang)
                                            .arg(need.width())
                                            .arg(need.height())
                                            .arg(l->width())
                                            .arg(l->height())));
                    QVERIFY2(l->geometry().right() < l->parentWidget()->width() || l->parentWidget() != f.get(),
                             qPrintable(l->objectName()));
                }
            }
        }
    }

    void clickingTabsSwitchesPages() {
        test::ScriptedUi ui;
        auto f = open(ui);
        QVERIFY(f->control("LstB2")->isVisible());
        // The strip brought to the front is the one that receives the click.
        click(f->control("lblP1Tab2_0"));
        QVERIFY(f->control("cmdFile")->isVisible());
        QVERIFY(!f->control("LstB2")->isVisible());
        click(f->control("imgP1Tab3_1"));
        QVERIFY(f->control("pSettings")->isVisible());
        QVERIFY(f->control("chk1")->isVisible());
        click(f->control("lblP1Tab4_2"));
        QVERIFY(f->control("lblAbout")->isVisible());
        QVERIFY(!f->control("pSettings")->isVisible());
        click(f->control("lblP1Tab1_3"));
        QVERIFY(f->control("cmdNext")->isVisible());
    }

    void hoveringATabCaptionMakesItBold() {
        test::ScriptedUi ui;
        auto f = open(ui);
        QWidget* tab3 = f->control("lblP1Tab3_0");
        QTest::mouseMove(tab3, tab3->rect().center());
        QTRY_VERIFY(tab3->font().bold());
        QVERIFY(f->control("lblP1Tab3_2")->font().bold());
        QVERIFY(!f->control("lblP1Tab2_0")->font().bold());
    }

    void pickingSpanishIsStoredAtOnce() {
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowSettingsPage();
        auto* combo = w<QComboBox>(*f, "cmbLanguage");
        QCOMPARE(combo->currentIndex(), -1);
        QCOMPARE(combo->placeholderText(), QString("Language"));
        combo->setCurrentIndex(1);
        emit combo->activated(1);
        QFile conf(settingsFile());
        QVERIFY2(conf.open(QIODevice::ReadOnly),
                 qPrintable(QSettings(QSettings::NativeFormat, QSettings::UserScope, "QUENVOR", "QUENVOR").fileName()));
        const QString text = QString::fromUtf8(conf.readAll());
        QVERIFY2(text.contains("[SETTINGS]") && text.contains("LANGUAGE=1034"), qPrintable(text));

        // Save repeats the notice in the new language and stores the options.
        w<QCheckBox>(*f, "chk4")->setCheckState(Qt::Unchecked);
        click(f->control("cmdSave"));
        QCOMPARE(ui.messages.size(), size_t(1));
        QVERIFY(ui.messages[0].text.rfind("Tienes que volver", 0) == 0);
        QCOMPARE(QString::fromStdString(settings.read("QUENVOR", "SETTINGS", "S4", "?")), QString("0"));
        QCOMPARE(QString::fromStdString(settings.read("QUENVOR", "SETTINGS", "S5", "?")), QString("0"));
    }

    void helpAndQuit() {
        test::ScriptedUi ui;
        auto f = open(ui);
        click(f->control("cmdHelp"));
        QCOMPARE(opener.opened.size(), size_t(1));
        QCOMPARE(QString::fromStdString(opener.opened[0].first), QString("/opt/quenvor/help/quenvor.htm"));
        click(f->control("cmdQuit"));
        QCOMPARE(ui.endProgramCalls, 1);
        f->close();
        QVERIFY(f->logic().cShred());  // Quit ends the program without unloading
    }

    void shreddingAFolderFromTheButtons() {
        QTemporaryDir work;
        const QString victim = work.path() + "/victim";
        QVERIFY(QDir().mkpath(victim + "/sub"));
        for (const char* name : {"/a.txt", "/sub/b.txt"}) {
            QFile f(victim + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(3000, 'x'));
        }
        test::ScriptedUi ui;
        auto f = open(ui);
        click(f->control("lblP1Tab2_0"));
        QCOMPARE(w<QComboBox>(*f, "cmbSecure")->currentIndex(), 0);  // the level shown is selected
        ui.folderAnswers.push_back(victim.toStdString());
        click(f->control("cmdFolder"));
        QVERIFY(f->control("cmdDelete")->isEnabled());
        bool sawBusy = false;
        ui.onProcessEvents = [&] {
            sawBusy = sawBusy || (!f->control("cmdNext")->isEnabled() && f->control("cmdCancel")->isVisible() &&
                                  !f->control("cmdQuit")->isVisible());
        };
        click(f->control("cmdDelete"));
        QVERIFY(sawBusy);
        QVERIFY(!QDir(victim).exists());
        QCOMPARE(QString::fromStdString(ui.messages.back().text), QString("The folder was permanently deleted."));
        QVERIFY(f->control("cmdQuit")->isVisible());
        QVERIFY(f->control("cmdNext")->isEnabled());
    }

    void closingDuringARunAsksAndStopsAfterTheCurrentFile() {
        QTemporaryDir work;
        const QString victim = work.path() + "/victim";
        QVERIFY(QDir().mkpath(victim));
        for (int i = 0; i < 3; ++i) {
            QFile f(victim + QString("/f%1.txt").arg(i));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(3000, 'x'));
        }
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowShredderPage();
        ui.folderAnswers.push_back(victim.toStdString());
        f->logic().shredderPage()->cmdFolder_Click();
        bool asked = false;
        ui.onProcessEvents = [&] {
            if (asked) return;
            asked = true;
            ui.answers.push_back(ui::MsgAnswer::No);  // first: keep going
            f->close();
            QVERIFY(f->isVisible());
            ui.answers.push_back(ui::MsgAnswer::Yes);  // then: stop and close
            f->close();
            QVERIFY(f->isVisible());
        };
        f->logic().shredderPage()->cmdDelete_Click();
        QVERIFY(asked);
        QVERIFY(!f->isVisible());       // closed once the current file was done
        QVERIFY(!f->logic().cShred());  // unloaded
        QVERIFY(QFile::exists(victim + "/f1.txt"));
        QVERIFY(!QFile::exists(victim + "/f0.txt"));
    }

    void closingFromTheTitleBarUnloads() {
        test::ScriptedUi ui;
        auto f = open(ui);
        QVERIFY(f->logic().cShred());
        f->close();
        QVERIFY(!f->logic().cShred());
    }
};

QTEST_MAIN(frmStartTest)
#include "frmStartTest.moc"
