// The real window, driven headless as a user would: clicks, hovers, the language list.
#include <unistd.h>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <map>
#include <type_traits>

#include "platform/EmbeddedStringResource.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxRandomSource.h"
#include "shredder/ShredderPage.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"
#include "ui/Accelerator.h"
#include "ui/FormDesign.h"
#include "ui/PageOrder.h"
#include "window/qt/Main.h"
#include "window/qt/PageTabs.h"
#include "window/qt/QtSettingsStore.h"
#include "window/qt/QtUiServices.h"
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
    void store(const char* key, const char* value) { QVERIFY(settings.write("QUENVOR", "SETTINGS", key, value).ok()); }
    QString stored(const char* key) { return QString::fromStdString(settings.read("QUENVOR", "SETTINGS", key, "?")); }
    void wheel(QWidget* target, int steps) {
        const QPointF at = QRectF(target->rect()).center();
        QWheelEvent event(at, target->mapToGlobal(at), {}, {0, -120 * steps}, Qt::NoButton, {}, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(target, &event);
    }
    // The darkest grey in the text area of a drop-down list, as painted.
    static int darkestText(QWidget* list) {
        const QImage image = list->grab().toImage();
        int darkest = 255;
        for (int y = 3; y < image.height() - 3; ++y)
            for (int x = 4; x < image.width() / 2; ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
        return darkest;
    }
    template <class T>
    T* w(window::frmStart& f, const char* name) {
        return qobject_cast<T*>(f.control(name));
    }
    void click(QWidget* target) { QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center()); }
    // Does `act` to the next dialog of its kind once it is open, as a user at it would.
    template <class Dialog = QFileDialog>
    void atDialog(std::type_identity_t<std::function<void(Dialog&)>> act) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, act] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible()) return;
            poll->stop();
            poll->deleteLater();
            act(*dialog);
        });
        poll->start(10);
    }
    // Does `act` to the next context menu once it is open.
    void atMenu(const std::function<void(QMenu&)>& act) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, act] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible()) return;
            poll->stop();
            poll->deleteLater();
            act(*menu);
        });
        poll->start(10);
    }
    static void typeName(QFileDialog& dialog, const QString& name) {
        auto* box = dialog.findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(box);
        box->setText(name);
    }
    // What the dialog's Choose or Open button does.
    static void choose(QFileDialog& dialog) { QMetaObject::invokeMethod(&dialog, "accept"); }
    static QString dialogSettings() { return QSettings(QSettings::UserScope, "QtProject").fileName(); }
    // On its box: a check box takes clicks on its box and text only.
    void tick(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2)); }
    static int shownPage(window::frmStart& f) { return ui::PageOrder::shown(f); }
    static QString nameOf(QWidget* w) {
        return w == nullptr ? "nothing" : w->objectName().isEmpty() ? w->metaObject()->className() : w->objectName();
    }
    void activate(window::frmStart& f) {
        f.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = {}) {
        QWidget* at = QApplication::focusWidget();
        QVERIFY(at);
        QTest::keyClick(at, Qt::Key(key), modifiers);
    }
    // The shown buttons of the window and the letters they are on.
    static QStringList letterClashes(window::frmStart& f) {
        std::map<char, QString> held;
        QStringList clashes;
        for (auto* b : f.findChildren<QAbstractButton*>()) {
            if (!b->isVisibleTo(&f)) continue;
            const char key = ui::Accelerator::key(b->text().toStdString());
            if (!key) continue;
            if (held.contains(key)) clashes << held[key] + " and " + b->text();
            held[key] = b->text();
        }
        return clashes;
    }
    // WCAG's relative luminance and contrast ratio.
    static double luminance(QRgb c) {
        const auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    }
    static double contrast(QRgb a, QRgb b) {
        const double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }
    // A text as painted in `area` of `picture`: its ground is the commonest colour there, and
    // its strokes the pixels that stand out most from it.
    static double textContrast(const QImage& picture, const QRect& area) {
        std::map<QRgb, int> count;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) ++count[picture.pixel(x, y) | 0xff000000u];
        const QRgb ground =
            std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
        double best = 1;
        for (const auto& [colour, n] : count) best = std::max(best, contrast(colour, ground));
        return best;
    }

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
        QDir conf(QFileInfo(settingsFile()).path());
        for (const QString& copy : conf.entryList({"QUENVOR.conf.damaged-*"}, QDir::Files)) conf.remove(copy);
    }

    void everyControlIsNamedAndPlaced() {
        test::ScriptedUi ui;
        auto f = open(ui);
        QCOMPARE(f->size(), QSize(615, 424));
        for (const auto& design : ui::FormDesign::controls()) {
            auto* c = f->findChild<QWidget*>(QString::fromStdString(design.name));
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
            store("LANGUAGE", lang);
            test::ScriptedUi ui;
            auto f = open(ui);
            for (int page = 1; page <= 4; ++page) {
                f->logic().pages().lblP1Tab_Click(page);
                QList<QLabel*> shown;
                for (QLabel* l : f->findChildren<QLabel*>()) {
                    if (!l->isVisibleTo(f.get()) || l->text().isEmpty()) continue;
                    // No caption lies over another one.
                    for (QLabel* other : shown)
                        QVERIFY2(
                            other->parentWidget() != l->parentWidget() || !other->geometry().intersects(l->geometry()),
                            qPrintable(QString("%1 over %2 (%3)").arg(l->objectName(), other->objectName(), lang)));
                    shown.push_back(l);
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

    void runningTextKeepsItsFullLines() {
        test::ScriptedUi ui;
        auto f = open(ui);
        auto* about = w<QLabel>(*f, "lblAbout");
        if (QFontInfo(about->font()).family() != "Tahoma") QSKIP("Tahoma is not installed");
        // Eleven pixels a line, as the page texts were laid out, and never less than the bold.
        QCOMPARE(about->fontMetrics().lineSpacing(), 11);
        QVERIFY(about->fontMetrics().lineSpacing() >= f->control("lblTitle")->fontMetrics().lineSpacing());
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
        QVERIFY(ui.messages[0].text.rfind("Tienes que reiniciar", 0) == 0);
        QCOMPARE(QString::fromStdString(settings.read("QUENVOR", "SETTINGS", "S4", "?")), QString("0"));
        QCOMPARE(QString::fromStdString(settings.read("QUENVOR", "SETTINGS", "S5", "?")), QString("0"));
    }

    void optionBoxesToggleBetweenClearAndTickedAndGreyOnlyFromAStoredValue() {
        store("S2", "2");
        store("S3", "2");
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowSettingsPage();
        auto* ticked = w<QCheckBox>(*f, "chk4");
        QCOMPARE(ticked->checkState(), Qt::Checked);
        for (Qt::CheckState next : {Qt::Unchecked, Qt::Checked, Qt::Unchecked, Qt::Checked}) {
            tick(ticked);
            QCOMPARE(ticked->checkState(), next);
        }
        ticked->setFocus();
        QTest::keyClick(ticked, Qt::Key_Space);
        QCOMPARE(ticked->checkState(), Qt::Unchecked);
        QTest::keyClick(ticked, Qt::Key_Space);
        QCOMPARE(ticked->checkState(), Qt::Checked);

        auto* greyed = w<QCheckBox>(*f, "chk2");
        QCOMPARE(greyed->checkState(), Qt::PartiallyChecked);
        tick(greyed);
        QCOMPARE(greyed->checkState(), Qt::Checked);
        tick(greyed);
        QCOMPARE(greyed->checkState(), Qt::Unchecked);

        // A greyed box left alone is stored greyed.
        click(f->control("cmdSave"));
        QVERIFY(ui.messages.empty());
        QCOMPARE(stored("S2"), QString("0"));
        QCOMPARE(stored("S3"), QString("2"));
        QCOMPARE(f->checkValue("chk3"), 2);
    }

    void aDamagedSettingsFileIsKeptAsideAndSaveStoresEveryOption() {
        const QByteArray damaged = "\"\n[SETTINGS]\nLANGUAGE=1034\nS1=0\nS5=1\n";
        {
            QFile conf(settingsFile());
            QVERIFY(conf.open(QIODevice::WriteOnly | QIODevice::Truncate));
            conf.write(damaged);
        }
        test::ScriptedUi ui;
        auto f = open(ui);
        QCOMPARE(f->windowTitle(), QString("Quenvor"));
        f->logic().pages().ShowSettingsPage();
        w<QCheckBox>(*f, "chk6")->setCheckState(Qt::Unchecked);
        click(f->control("cmdSave"));
        // One notice, no false failure.
        QCOMPARE(ui.messages.size(), size_t(1));
        const QString text = QString::fromStdString(ui.messages[0].text);
        QVERIFY2(text.startsWith("Your settings file could not be read.") && !text.contains("could not be saved"),
                 qPrintable(text));
        const QString copy = text.section("\r\n", 1);
        QVERIFY2(copy.startsWith(settingsFile() + ".damaged-"), qPrintable(copy));
        QFile kept(copy);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), damaged);

        // Every option arrived, in a file that reads cleanly.
        QSettings fresh(settingsFile(), QSettings::IniFormat);
        QCOMPARE(fresh.status(), QSettings::NoError);
        const char* expected[] = {"1", "1", "1", "1", "0", "0"};
        for (int n = 1; n <= 6; ++n) QCOMPARE(stored(qPrintable(QString("S%1").arg(n))), QString(expected[n - 1]));

        click(f->control("cmdSave"));
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(QDir(QFileInfo(settingsFile()).path()).entryList({"QUENVOR.conf.damaged-*"}).size(), 1);
    }

    void aSettingsFileThatCannotBeWrittenIsReportedOnce() {
        if (geteuid() == 0) QSKIP("permissions do not stop root");
        store("S1", "1");
        const QString folder = QFileInfo(settingsFile()).path();
        QFile::setPermissions(settingsFile(), QFile::ReadOwner);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowSettingsPage();
        click(f->control("cmdSave"));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(settingsFile(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ui.messages[0].text),
                 QString("Your settings could not be saved:\r\nThe settings file or its folder cannot be written to."));
    }

    void aFailedWriteIsReportedEvenForRoot() {
        // A folder where the file should be: no rename can replace it, whoever asks.
        QVERIFY(QFile::remove(settingsFile()) || !QFile::exists(settingsFile()));
        QVERIFY(QDir().mkpath(settingsFile()));
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowSettingsPage();
        click(f->control("cmdSave"));
        QVERIFY(QDir().rmdir(settingsFile()));
        QCOMPARE(ui.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(ui.messages[0].text),
                 QString("Your settings could not be saved:\r\nThe settings file or its folder cannot be written to."));
    }

    void theWheelOnlyTurnsAFocusedList() {
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowSettingsPage();
        auto* language = w<QComboBox>(*f, "cmbLanguage");
        wheel(language, 1);
        QCOMPARE(language->currentIndex(), -1);
        QCOMPARE(stored("LANGUAGE"), QString("?"));

        f->logic().pages().ShowShredderPage();
        auto* level = w<QComboBox>(*f, "cmbSecure");
        wheel(level, 1);
        QCOMPARE(level->currentIndex(), 0);

        // Focused, the list takes the wheel as usual.
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        level->setFocus();
        QTRY_VERIFY(level->hasFocus());
        wheel(level, 1);
        QCOMPARE(level->currentIndex(), 1);
    }

    // The list's rows by the keyboard, the button, Shift+F10 and a right click to the menu; the
    // mark is in the row's text that a screen reader reads.
    void aSiteIsKeptAndReleasedFromTheCookieList() {
        test::ScriptedUi ui;
        auto f = open(ui);
        f->setListItems("LstB3", {"Cookie:ana@.shop.example/", "Cookie:ana@news.example/"});
        f->logic().keepSites().MarkRows();
        auto* list = w<QListView>(*f, "LstB3");
        auto* button = w<QPushButton>(*f, "cmdKeep");
        QVERIFY(!button->isEnabled());
        f->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.get()));
        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Home);
        QCOMPARE(f->listSelectedIndex("LstB3"), 0);
        QVERIFY(button->isEnabled());
        QCOMPARE(button->text(), QString("&Keep this site"));
        click(button);
        QCOMPARE(stored("KEEP"), QString("shop.example"));
        QCOMPARE(button->text(), QString("&Release this site"));
        QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(list);
        QVERIFY(rows && rows->childCount() >= 2);
        const auto rowText = [rows](int row) {
            for (int i = 0; i < rows->childCount(); ++i)
                if (rows->child(i)->text(QAccessible::Name).contains(row == 0 ? "shop" : "news"))
                    return rows->child(i)->text(QAccessible::Name);
            return QString();
        };
        QCOMPARE(rowText(0), QString("Cookie:ana@.shop.example/ (kept)"));
        QCOMPARE(rowText(1), QString("Cookie:ana@news.example/"));

        // The menu offers only what applies; a dismissed menu changes nothing.
        QStringList offered;
        atMenu([&offered](QMenu& menu) {
            for (auto* a : menu.actions()) offered << a->text() + (a->isEnabled() ? "" : " (off)");
            QTest::keyClick(&menu, Qt::Key_Escape);
        });
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(offered, QStringList({"&Keep this site (off)", "&Release this site"}));
        QCOMPARE(stored("KEEP"), QString("shop.example"));
        atMenu([](QMenu& menu) {
            menu.setActiveAction(menu.actions().at(1));
            QTest::keyClick(&menu, Qt::Key_Return);
        });
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(stored("KEEP"), QString(""));
        QCOMPARE(rowText(0), QString("Cookie:ana@.shop.example/"));

        // A right click picks the row under the pointer and opens the same menu.
        atMenu([](QMenu& menu) {
            menu.setActiveAction(menu.actions().at(0));
            QTest::keyClick(&menu, Qt::Key_Return);
        });
        const QRect second = list->visualRect(list->model()->index(1, 0));
        // Through the window, which turns the press into the request for a menu.
        QTest::mouseClick(f->windowHandle(), Qt::RightButton, {}, list->viewport()->mapTo(f.get(), second.center()));
        QCOMPARE(f->listSelectedIndex("LstB3"), 1);
        QTRY_COMPARE(stored("KEEP"), QString("news.example"));
        QCOMPARE(rowText(1), QString("Cookie:ana@news.example/ (kept)"));
    }

    void theLanguageListShowsItsWordLikeAnItem() {
        test::ScriptedUi ui;
        auto f = open(ui);
        f->logic().pages().ShowSettingsPage();
        auto* language = w<QComboBox>(*f, "cmbLanguage");
        QCOMPARE(language->currentIndex(), -1);
        QCOMPARE(f->comboText("cmbLanguage"), std::string("Language"));
        const int word = darkestText(language);
        language->setCurrentIndex(0);
        const int item = darkestText(language);
        QVERIFY2(std::abs(word - item) <= 8, qPrintable(QString("word %1, item %2").arg(word).arg(item)));
    }

    void tabCaptionsLieOverTheirTabsInBothLanguages() {
        for (const char* lang : {"1053", "1034"}) {
            store("LANGUAGE", lang);
            test::ScriptedUi ui;
            auto f = open(ui);
            for (int hovered = 1; hovered <= ui::kTabCount; ++hovered) {
                f->logic().pages().P1Tab_MouseMove(hovered);
                for (int strip = 0; strip < ui::kTabCount; ++strip) {
                    for (int tab = 1; tab <= ui::kTabCount; ++tab) {
                        const auto n = std::to_string(tab);
                        auto* label = w<QLabel>(*f, ui::FormDesign::member("lblP1Tab" + n, strip).c_str());
                        QWidget* hot = f->control(ui::FormDesign::member("imgP1Tab" + n, strip));
                        const int need = label->fontMetrics().horizontalAdvance(label->text());
                        QVERIFY2(need <= label->width() && hot->geometry().contains(label->geometry()),
                                 qPrintable(QString("%1 (%2) needs %3, has %4 at %5 in %6..%7")
                                                .arg(label->objectName(), lang)
                                                .arg(need)
                                                .arg(label->width())
                                                .arg(label->x())
                                                .arg(hot->x())
                                                .arg(hot->geometry().right())));
                    }
                }
            }
        }
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

    // Dragged from the file manager: the shredder page takes local files and folders, and only
    // while it is shown and idle.
    void droppedFilesBecomeTheShreddersChoice() {
        QTemporaryDir work;
        QVERIFY(QDir().mkpath(work.path() + "/folder"));
        QFile one(work.path() + "/one.txt");
        QVERIFY(one.open(QIODevice::WriteOnly));
        one.close();
        test::ScriptedUi ui;
        auto f = open(ui);
        auto* page = f->logic().shredderPage();
        const auto drop = [&](const QList<QUrl>& urls) {
            QMimeData data;
            data.setUrls(urls);
            const QPoint at = f->control("cmdDelete")->geometry().center();
            QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.get(), &enter);
            QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(f.get(), &dropped);
            return enter.isAccepted() && dropped.isAccepted();
        };
        const QList<QUrl> both{QUrl::fromLocalFile(work.path() + "/one.txt"),
                               QUrl::fromLocalFile(work.path() + "/folder/")};
        f->logic().pages().ShowTracksPage();
        QVERIFY(!drop(both));
        QVERIFY(page->chosenItems().empty());

        f->logic().pages().ShowShredderPage();
        QVERIFY(!drop({QUrl("https://example.com/one.txt")}));
        QVERIFY(drop(both));
        const std::vector<std::string> expected{(work.path() + "/one.txt").toStdString(),
                                                (work.path() + "/folder").toStdString()};
        QCOMPARE(page->chosenItems(), expected);
        QCOMPARE(QString::fromStdString(*f->caption("lblChosen")), QString("2 items chosen"));
        QVERIFY(f->control("cmdDelete")->isEnabled());
        QVERIFY(drop({QUrl::fromLocalFile(work.path() + "/folder")}));
        QCOMPARE(QString::fromStdString(page->selectedFolder()), work.path() + "/folder");
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

    void theFolderDialogTakesOnlyANamedFolderAndLeavesNoTrace() {
        QTemporaryDir work;
        QVERIFY(QDir().mkpath(work.path() + "/chosen"));
        QFile::remove(dialogSettings());
        window::QtUiServices services;
        const ui::FolderDialogRequest request{"Pick a folder", work.path().toStdString()};
        atDialog([](QFileDialog& d) { choose(d); });  // the name box left empty
        QCOMPARE(QString::fromStdString(services.browseForFolder(request)), QString());
        QVERIFY(!QFile::exists(dialogSettings()));
        atDialog([](QFileDialog& d) {
            typeName(d, "chosen");
            choose(d);
        });
        QCOMPARE(QString::fromStdString(services.browseForFolder(request)), work.path() + "/chosen");
        QVERIFY2(!QFile::exists(dialogSettings()), qPrintable(dialogSettings()));
    }

    void theFileDialogPutsBackSettingsItFound() {
        QTemporaryDir work;
        QFile file(work.path() + "/a.txt");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QByteArray before = "[General]\nanother=program\n";
        QVERIFY(QDir().mkpath(QFileInfo(dialogSettings()).path()));
        {
            QFile conf(dialogSettings());
            QVERIFY(conf.open(QIODevice::WriteOnly));
            conf.write(before);
        }
        window::QtUiServices services;
        ui::FileDialogRequest request;
        request.title = "Pick a file";
        request.initialDir = work.path().toStdString();
        request.filters = {{"All Files", "*.*"}};
        atDialog([](QFileDialog& d) {
            typeName(d, "a.txt");
            choose(d);
        });
        const auto result = services.openFileDialog(request);
        QVERIFY(result.accepted);
        QCOMPARE(QString::fromStdString(result.files.at(0)), work.path() + "/a.txt");
        QFile conf(dialogSettings());
        QVERIFY(conf.open(QIODevice::ReadOnly));
        QCOMPARE(conf.readAll(), before);
        conf.close();
        QFile::remove(dialogSettings());
    }

    void abortSaysAtOnceThatTheRunStopsAndIsGoneBeforeTheLastMessage() {
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
        click(f->control("lblP1Tab2_0"));
        ui.folderAnswers.push_back(victim.toStdString());
        click(f->control("cmdFolder"));
        QString saidAtClick;
        bool abortEnabledAfterClick = true;
        ui.onProcessEvents = [&] {
            if (ui.pendingEventCalls != 1) return;
            click(f->control("cmdCancel"));
            saidAtClick = w<QLabel>(*f, "lblStatus")->text();
            abortEnabledAfterClick = f->control("cmdCancel")->isEnabled();
        };
        click(f->control("cmdDelete"));
        QCOMPARE(saidAtClick, QString("Stopping after the current file.."));
        QVERIFY(!abortEnabledAfterClick);
        QCOMPARE(w<QLabel>(*f, "lblStatus")->text(), QString("Aborted by the user.."));

        bool abortBehind = true, quitBehind = false;
        ui.onProcessEvents = {};
        ui.onMessage = [&] {
            abortBehind = f->control("cmdCancel")->isVisible();
            quitBehind = f->control("cmdQuit")->isVisible();
        };
        ui.folderAnswers.push_back(victim.toStdString());
        click(f->control("cmdFolder"));
        click(f->control("cmdDelete"));
        QCOMPARE(QString::fromStdString(ui.messages.back().text), QString("The folder was permanently deleted."));
        QVERIFY(!abortBehind);
        QVERIFY(quitBehind);
    }

    void theChoiceIsNamedWholeAndShortenedInTheMiddle() {
        test::ScriptedUi ui;
        auto f = open(ui);
        auto* label = w<QLabel>(*f, "lblChosen");
        QVERIFY(label->isHidden());  // another page's
        click(f->control("lblP1Tab2_0"));
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), QString());
        const QString longPath = "/home/someone/" + QString("a-rather-long-folder-name/").repeated(6) + "the end.txt";
        for (const QString& path : {longPath, QString("/tmp/short.txt")}) {
            ui::FileDialogResult chosen;
            chosen.accepted = true;
            chosen.files = {path.toStdString()};
            ui.fileAnswers.push_back(chosen);
            click(f->control("cmdFile"));
            QCOMPARE(label->toolTip(), path);
            QCOMPARE(label->accessibleName(), path);
            QCOMPARE(QString::fromStdString(*f->caption("lblChosen")), path);
            QVERIFY2(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width(),
                     qPrintable(label->text()));
            if (path != longPath) {
                QCOMPARE(label->text(), path);
                continue;
            }
            // Shortened in the middle: both ends stay in view.
            QVERIFY2(label->text().contains(QChar(0x2026)) && label->text().startsWith("/home/someone/") &&
                         label->text().endsWith("the end.txt"),
                     qPrintable(label->text()));
        }
        click(f->control("lblP1Tab3_0"));
        QVERIFY(label->isHidden());
    }

    void aQuestionThatDestroysTakesNoForEnter() {
        window::QtUiServices services;
        for (const auto& [pressed, answer] : {std::pair{ui::MsgDefault::First, ui::MsgAnswer::Yes},
                                              std::pair{ui::MsgDefault::Second, ui::MsgAnswer::No}}) {
            atDialog<QMessageBox>([](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Return); });
            QCOMPARE(
                services.messageBox("Shred it?", "Quenvor", ui::MsgButtons::YesNo, ui::MsgIcon::Exclamation, pressed),
                answer);
        }
    }

    // Every page by the keyboard alone: the keys of desktop tab widgets switch pages round and
    // round, a page shown gives the keyboard to its first control, Tab goes through the tab list
    // and every shown control of the page, and the tab list's arrows move between the tabs.
    void everyPageIsReachedByTheKeyboard() {
        test::ScriptedUi ui;
        auto f = open(ui);
        activate(*f);
        QCOMPARE(nameOf(QApplication::focusWidget()), QString("cmdNext"));
        struct Step {
            int key;
            Qt::KeyboardModifiers modifiers;
            int page;
            const char* focus;
        };
        const Step steps[] = {
            {Qt::Key_Tab, Qt::ControlModifier, 2, "cmdFile"},
            {Qt::Key_PageDown, Qt::ControlModifier, 3, "chk1"},
            {Qt::Key_Tab, Qt::ControlModifier, 4, "cmdHelp"},
            {Qt::Key_Tab, Qt::ControlModifier, 1, "cmdNext"},
            {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 4, "cmdHelp"},
            {Qt::Key_PageUp, Qt::ControlModifier, 3, "chk1"},
        };
        for (const auto& s : steps) {
            press(s.key, s.modifiers);
            QCOMPARE(shownPage(*f), s.page);
            QCOMPARE(nameOf(QApplication::focusWidget()), QString(s.focus));
        }
        auto* tabs = f->findChild<window::PageTabs*>();
        for (int page = 1; page <= ui::kTabCount; ++page) {
            f->logic().pages().lblP1Tab_Click(page);
            QCOMPARE(tabs->current(), page);
            // Tab from the tab list round to it again: each shown control that takes the
            // keyboard once, the page's first one first.
            QSet<QWidget*> expected{tabs};
            for (const auto& design : ui::FormDesign::controls()) {
                QWidget* c = f->control(design.name);
                if (design.takesFocus && c->isVisibleTo(f.get()) && c->isEnabled()) expected.insert(c);
            }
            tabs->setFocus();
            QSet<QWidget*> visited;
            QStringList path;
            do {
                visited.insert(QApplication::focusWidget());
                path << nameOf(QApplication::focusWidget());
                press(Qt::Key_Tab);
            } while (QApplication::focusWidget() != tabs && path.size() <= 20);
            QVERIFY2(visited == expected, qPrintable(QString("page %1: %2").arg(page).arg(path.join(", "))));
            QCOMPARE(path.value(1), QString(page == 1   ? "cmdNext"
                                            : page == 2 ? "cmdFile"
                                            : page == 3 ? "chk1"
                                                        : "cmdHelp"));
        }
        // The arrows stay on the tab list, as a tab bar's do, and stop at its ends.
        f->logic().pages().lblP1Tab_Click(1);
        tabs->setFocus();
        for (const auto& [key, page] : {std::pair{Qt::Key_Left, 1},
                                        {Qt::Key_Right, 2},
                                        {Qt::Key_End, 4},
                                        {Qt::Key_Right, 4},
                                        {Qt::Key_Left, 3},
                                        {Qt::Key_Home, 1}}) {
            press(key);
            QCOMPARE(shownPage(*f), page);
            QVERIFY(tabs->hasFocus());
        }
        // A click on a tab shows the page with its first control ready.
        click(f->control("lblP1Tab2_0"));
        QCOMPARE(nameOf(QApplication::focusWidget()), QString("cmdFile"));
    }

    // No two shown buttons on one letter, on any page, in either language, idle or shredding
    // (when Abort stands in for Quit); the logic still reads back the caption it set.
    void noTwoShownButtonsShareALetter() {
        for (const char* lang : {"1053", "1034"}) {
            store("LANGUAGE", lang);
            test::ScriptedUi ui;
            auto f = open(ui);
            for (int page = 1; page <= ui::kTabCount; ++page) {
                f->logic().pages().lblP1Tab_Click(page);
                for (bool running : {false, true}) {
                    f->setVisible("cmdCancel", running && page == 2);
                    f->setVisible("cmdQuit", !running || page != 2);
                    const QStringList clashes = letterClashes(*f);
                    QVERIFY2(clashes.isEmpty(),
                             qPrintable(QString("page %1 (%2): %3").arg(page).arg(lang).arg(clashes.join("; "))));
                }
            }
            if (QString(lang) == "1034") {
                // Quit keeps its letter, and the logic reads back the caption it set.
                QCOMPARE(w<QPushButton>(*f, "cmdQuit")->text(), QString("&Salir"));
                QCOMPARE(QString::fromStdString(*f->caption("cmdFile")), QString("&Escoger un archivo"));
            }
        }
    }

    // What a screen reader is told: the strips as one page tab list of four named tabs with the
    // shown one selected, each box and list named by what it is for, the progress as a bar
    // with its value.
    void screenReadersHearTabsNamesAndProgress() {
        test::ScriptedUi ui;
        auto f = open(ui);
        f->setListItems("LstB2", {"https://example.org/"});
        QAccessibleInterface* tabs = QAccessible::queryAccessibleInterface(f->findChild<window::PageTabs*>());
        QVERIFY(tabs);
        QCOMPARE(tabs->role(), QAccessible::PageTabList);
        QCOMPARE(tabs->text(QAccessible::Name), QString("Pages"));
        QCOMPARE(tabs->childCount(), 4);
        const QStringList names = {"Erase my tracks", "File Shredder", "Settings", "About"};
        for (int page = 1; page <= 4; ++page) {
            if (page == 3) {
                // Pressed by the reader, as a click on it would.
                tabs->child(2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            } else {
                f->logic().pages().lblP1Tab_Click(page);
            }
            for (int i = 0; i < 4; ++i) {
                QAccessibleInterface* tab = tabs->child(i);
                QCOMPARE(tab->role(), QAccessible::PageTab);
                QCOMPARE(tab->text(QAccessible::Name), names[i]);
                QCOMPARE(tab->state().selected, i + 1 == page);
                QCOMPARE(tab->parent(), tabs);
                QCOMPARE(tabs->indexOfChild(tab), i);
            }
            QCOMPARE(shownPage(*f), page);
        }
        // The strips' own pictures and captions are not read besides the tabs.
        QList<QAccessibleInterface*> pending{QAccessible::queryAccessibleInterface(f.get())};
        while (!pending.isEmpty()) {
            QAccessibleInterface* at = pending.takeFirst();
            QVERIFY2(at->role() != QAccessible::StaticText || !names.contains(at->text(QAccessible::Name)),
                     qPrintable(at->text(QAccessible::Name)));
            if (at == tabs) continue;
            for (int i = 0; i < at->childCount(); ++i)
                if (QAccessibleInterface* c = at->child(i)) pending << c;
        }

        struct Named {
            const char* control;
            QAccessible::Role role;
            const char* name;
        };
        for (const auto& n : {Named{"LstB2", QAccessible::List, "Web sites you have visited"},
                              Named{"LstB3", QAccessible::List, "Cookies created by your web browser"},
                              Named{"cmbLanguage", QAccessible::ComboBox, "Language"},
                              Named{"cmbSecure", QAccessible::ComboBox, "Delete algorithm"},
                              Named{"pbCurrentPrgrs", QAccessible::ProgressBar, "Shredding progress"}}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(f->control(n.control));
            QVERIFY(a);
            QCOMPARE(a->role(), n.role);
            QCOMPARE(a->text(QAccessible::Name), QString(n.name));
        }
        // A pick is the box's value and leaves its name alone.
        auto* language = w<QComboBox>(*f, "cmbLanguage");
        language->setCurrentIndex(0);
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(language);
        QCOMPARE(box->text(QAccessible::Name), QString("Language"));
        QCOMPARE(box->text(QAccessible::Value), QString("English"));
        QCOMPARE(QAccessible::queryAccessibleInterface(f->control("cmbSecure"))->text(QAccessible::Value),
                 w<QComboBox>(*f, "cmbSecure")->currentText());

        f->setProgressMax("pbCurrentPrgrs", 7);
        f->setProgressValue("pbCurrentPrgrs", 3);
        QAccessibleValueInterface* value =
            QAccessible::queryAccessibleInterface(f->control("pbCurrentPrgrs"))->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->currentValue().toInt(), 3);
        QCOMPARE(value->maximumValue().toInt(), 7);
    }

    // Every text against what it is painted on, under a light and a dark desktop scheme: the
    // window keeps its own light palette throughout, so no caption turns light on light.
    void everyTextStandsOutUnderLightAndDarkSchemes() {
        const QPalette system = QApplication::palette();
        QPalette dark(QColor(220, 220, 220), QColor(53, 53, 53), QColor(90, 90, 90), QColor(20, 20, 20),
                      QColor(40, 40, 40), QColor(230, 230, 230), Qt::white, QColor(35, 35, 35), QColor(45, 45, 45));
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            dark.setColor(group, QPalette::ButtonText, QColor(230, 230, 230));
            dark.setColor(group, QPalette::PlaceholderText, QColor(150, 150, 150));
        }
        const QString systemStyle = QApplication::style()->name();
        // A dark scheme as a desktop sets it: the palette alone, or a dark style with its own.
        std::unique_ptr<QStyle> adwaita(QStyleFactory::create("Adwaita-Dark"));
        struct Scheme {
            const char* name;
            QPalette palette;
            QStyle* style;
        };
        for (const auto& scheme :
             {Scheme{"light", system, nullptr}, Scheme{"dark", dark, nullptr},
              Scheme{"Adwaita-Dark", adwaita ? adwaita->standardPalette() : dark, adwaita.get()}}) {
            if (scheme.style) QApplication::setStyle(QStyleFactory::create("Adwaita-Dark"));
            QApplication::setPalette(scheme.palette);
            test::ScriptedUi ui;
            auto f = open(ui);
            f->setListItems("LstB2", {"https://example.org/"});
            f->setListItems("LstB3", {"Cookie:ana@example.org/"});
            for (int page = 1; page <= ui::kTabCount; ++page) {
                f->logic().pages().lblP1Tab_Click(page);
                f->setCaption("lblStatus", "Overwriting, pass 1 of 3");
                const QImage picture = f->grab().toImage();
                const QString front = QString::fromStdString(ui::FormDesign::member("pTab1", page - 1));
                int checked = 0;
                for (QWidget* c : f->findChildren<QWidget*>()) {
                    if (!c->isVisibleTo(f.get()) || !c->isEnabled()) continue;
                    // Of the strips, only the one in front is seen.
                    if (c->parentWidget() && c->parentWidget()->objectName().startsWith("pTab1_") &&
                        c->parentWidget()->objectName() != front)
                        continue;
                    QRect area;
                    if (auto* l = qobject_cast<QLabel*>(c); l && !l->text().isEmpty()) {
                        area = l->rect();
                    } else if (qobject_cast<QCheckBox*>(c)) {
                        area = c->rect().adjusted(22, 0, 0, 0);  // the text, not the box
                    } else if (qobject_cast<QPushButton*>(c)) {
                        area = c->rect().adjusted(4, 4, -4, -4);
                    } else if (qobject_cast<QComboBox*>(c)) {
                        area = c->rect().adjusted(4, 4, -24, -4);
                    } else if (auto* list = qobject_cast<QListView*>(c)) {
                        area = list->visualRect(list->model()->index(0, 0)).translated(list->viewport()->pos());
                        area = area.intersected(list->rect().adjusted(2, 2, -2, -2));
                    }
                    if (area.isEmpty()) continue;
                    const double ratio = textContrast(picture, area.translated(c->mapTo(f.get(), QPoint(0, 0))));
                    QVERIFY2(ratio >= 4.5, qPrintable(QString("%1 on page %2 (%3): %4:1")
                                                          .arg(nameOf(c))
                                                          .arg(page)
                                                          .arg(scheme.name)
                                                          .arg(ratio, 0, 'f', 2)));
                    ++checked;
                }
                QVERIFY(checked >= 6);
            }
            QApplication::setStyle(systemStyle);
            QApplication::setPalette(system);
        }
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
