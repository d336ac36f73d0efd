// The message box with a list behind it, driven through the window's UI services as a user would:
// keys and clicks on the box itself. QUENVOR_SHOTS=<folder> also saves a picture of the open list.
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "window/qt/DetailsMessageBox.h"
#include "window/qt/QtUiServices.h"

using namespace quenvor;
using window::DetailsMessageBox;

class DetailsMessageBoxTest : public QObject {
    Q_OBJECT

    window::QtUiServices services;

    // Does `act` to the box once it is open.
    void atBox(const std::function<void(DetailsMessageBox&)>& act) {
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [poll, act] {
            auto* box = qobject_cast<DetailsMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll->stop();
            poll->deleteLater();
            act(*box);
            // A check that failed returned early: the box must not wait for an answer forever.
            if (box->isVisible()) box->done(-1);
        });
        poll->start(5);
    }
    ui::MsgAnswer ask(ui::MsgButtons buttons, const std::vector<std::string>& lines) {
        return services.messageBoxWithDetails("Remove what was found?", "Quenvor", buttons, ui::MsgIcon::Exclamation,
                                              ui::MsgDefault::Second, "Show what will be removed", lines);
    }
    static QPushButton* defaultButton(DetailsMessageBox& box) {
        for (auto* b : box.findChildren<QPushButton*>())
            if (b->isDefault()) return b;
        return nullptr;
    }
    // A cleaning run's account: a summary, then every item.
    static std::vector<std::string> account(int count) {
        std::vector<std::string> lines = {"Chromium, Default: Cookies: 1,204 items, 3.1 MB",
                                          "Chromium, Default: Cache: 8,771 items, 412 MB",
                                          "Firefox, default-esr: History: 25 items", ""};
        for (int i = 0; static_cast<int>(lines.size()) < count; ++i)
            lines.push_back("/home/user/.cache/chromium/Default/Cache/Cache_Data/f_" + std::to_string(100000 + i));
        return lines;
    }

private slots:
    void theListOpensInsideTheBoxAndNoStaysTheDefault() {
        const QString shots = qEnvironmentVariable("QUENVOR_SHOTS");
        const std::vector<std::string> lines = account(shots.isEmpty() ? 100000 : 10000);
        QElapsedTimer clock;
        qint64 opened = -1, listed = -1;
        bool checked = false;
        atBox([&](DetailsMessageBox& box) {
            opened = clock.elapsed();
            QVERIFY(!box.detailsList());  // nothing of the list is made before it is asked for
            QCOMPARE(defaultButton(box)->text(), QStringLiteral("&No"));
            QCOMPARE(box.detailsButton()->text(), QStringLiteral("&Show what will be removed"));
            const QSize closed = box.size();
            const QString style = qEnvironmentVariable("QT_STYLE_OVERRIDE", "default");
            if (!shots.isEmpty()) QVERIFY(box.grab().save(shots + "/qt-question-" + style + ".png"));
            QElapsedTimer shown;
            shown.start();
            box.detailsButton()->click();
            QApplication::processEvents();
            listed = shown.elapsed();
            QListView* list = box.detailsList();
            QVERIFY(list && list->isVisible());
            QVERIFY(box.height() > closed.height() + list->fontMetrics().height() * 5);
            QCOMPARE(list->model()->rowCount(), static_cast<int>(lines.size()));
            QCOMPARE(list->model()->index(0, 0).data().toString(), QString::fromStdString(lines.front()));
            QCOMPARE(list->model()->index(static_cast<int>(lines.size()) - 1, 0).data().toString(),
                     QString::fromStdString(lines.back()));
            QCOMPARE(list->accessibleName(), QStringLiteral("Show what will be removed"));
            if (!shots.isEmpty()) QVERIFY(box.grab().save(shots + "/qt-details-" + style + ".png"));
            // Tab from the default button comes round to the list.
            for (int i = 0; i < 4 && QApplication::focusWidget() != list; ++i) QTest::keyClick(&box, Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), list);
            // A second press, by the caption's Alt key, puts the list away and the box back as it was.
            box.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&box));
            QTest::keyClick(box.windowHandle(), Qt::Key_S, Qt::AltModifier);
            QTRY_VERIFY(!list->isVisible());
            QTRY_COMPARE(box.size(), closed);
            checked = true;
            QTest::keyClick(&box, Qt::Key_Return);
        });
        clock.start();
        QCOMPARE(ask(ui::MsgButtons::YesNo, lines), ui::MsgAnswer::No);
        QVERIFY(checked);
        qInfo("%zu lines: the box opened in %lld ms, the list in %lld ms", lines.size(), opened, listed);
    }

    // Esc answers what changes nothing; the buttons answer what they say, list open or not.
    void eachWayOutGivesItsAnswer() {
        const std::vector<std::string> lines = account(10);
        struct Case {
            ui::MsgButtons buttons;
            std::function<void(DetailsMessageBox&)> act;
            ui::MsgAnswer answer;
        };
        const auto press = [](QDialogButtonBox::StandardButton which) {
            return [which](DetailsMessageBox& box) {
                box.detailsButton()->click();
                QTest::mouseClick(box.findChild<QDialogButtonBox*>()->button(which), Qt::LeftButton);
            };
        };
        const auto escape = [](DetailsMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); };
        const Case cases[] = {{ui::MsgButtons::YesNo, escape, ui::MsgAnswer::No},
                              {ui::MsgButtons::YesNoCancel, escape, ui::MsgAnswer::Cancel},
                              {ui::MsgButtons::YesNo, press(QDialogButtonBox::Yes), ui::MsgAnswer::Yes},
                              {ui::MsgButtons::OkCancel, press(QDialogButtonBox::Ok), ui::MsgAnswer::Ok}};
        for (const auto& c : cases) {
            atBox(c.act);
            QCOMPARE(ask(c.buttons, lines), c.answer);
        }
    }
};

QTEST_MAIN(DetailsMessageBoxTest)
#include "DetailsMessageBoxTest.moc"
