// The main window: connection states, hidden service buttons, the tick
// counter and its wait, windows shown once, and shutdown; --help and --version
// answered without a display.

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyleHints>
#include <QTest>

#include "app/caret_blink.h"
#include "capture/form5.h"
#include "remote/form2.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"
#include "timing/form6.h"

using namespace talvo;
using talvo::testing::Rig;

class MainWindowTest : public QObject {
    Q_OBJECT
  private slots:
    void connectionStates_data() {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("text");
        QTest::newRow("device present") << true << QStringLiteral("ＴＡＬＶＯ－４  Ｃｏｎｎｅｃｔ");
        QTest::newRow("device absent")
            << false << QStringLiteral("ＴＡＬＶＯ－４\u3000No\u3000Ｃｏｎｎｅｃｔ");
    }
    void connectionStates() {
        QFETCH(bool, present);
        QFETCH(QString, text);
        Rig rig(present);
        MainWindow& w = rig.main();
        w.show();
        QCOMPARE(w.Text1->text(), text);
        QCOMPARE(rig.program.DeviceConnected, present ? 1 : 0);
        for (QPushButton* b : {w.Command1, w.Command2, w.Command3, w.Command10})
            QCOMPARE(b->isEnabled(), present);
        // Only the remote control and capture buttons can be seen.
        QVERIFY(w.Command2->isVisible());
        QVERIFY(w.Command3->isVisible());
        QVERIFY(!w.Command1->isVisible());
        QVERIFY(!w.Command10->isVisible());
    }

    void layoutFollowsTheTwipsOfTheWindow() {
        Rig rig;
        MainWindow& w = rig.main();
        QCOMPARE(w.windowTitle(), QStringLiteral("TALVO-4 映像信号調整TOOL Ver 0.80"));
        QCOMPARE(w.size(), QSize(493, 126));
        QCOMPARE(w.Text1->geometry(), QRect(24, 24, 409, 33));
        QCOMPARE(w.Command1->geometry(), QRect(16, 80, 121, 33));
        QCOMPARE(w.Command2->geometry(), QRect(144, 80, 121, 33));
        QCOMPARE(w.Command10->geometry(), QRect(272, 80, 105, 33));
        QCOMPARE(w.Command3->geometry(), QRect(384, 80, 105, 33));
        QCOMPARE(w.Text1->font().pointSizeF(), 11.25);
        QVERIFY(w.Text1->font().families().contains(QStringLiteral("IPAPGothic")));
        QCOMPARE(w.Command10->text(), QStringLiteral("ombrix cmd\u3000load"));
        QCOMPARE(w.Command1->text(), QStringLiteral("入出力映像信号調整"));
    }

    void tabOrderFollowsTheTabIndexes() {
        Rig rig;
        MainWindow& w = rig.main();
        QCOMPARE(w.Command10->nextInFocusChain(), static_cast<QWidget*>(w.Command1));
        QCOMPARE(w.Command1->nextInFocusChain(), static_cast<QWidget*>(w.Command2));
        QCOMPARE(w.Command2->nextInFocusChain(), static_cast<QWidget*>(w.Command3));
    }

    void connectLooksOnceAndNeverRetries() {
        Rig rig(false);
        rig.main();
        // Plugging the device in later changes nothing: no rescan.
        QCOMPARE(rig.program.DeviceConnected, 0);
        QVERIFY(!rig.main().Command2->isEnabled());
    }

    void tickCounterWrapsAt4096() {
        Rig rig;
        rig.main().Timer1->stop();
        rig.program.ticks.TickCounter = 4095;
        rig.main().Timer1_Timer();
        QCOMPARE(rig.program.ticks.TickCounter, 0);
        rig.main().Timer1_Timer();
        QCOMPARE(rig.program.ticks.TickCounter, 1);
    }

    void timerTicksEvery10msOnlyWhileAWaitWaits() {
        Rig rig;
        QTimer* timer = rig.main().Timer1;
        QCOMPARE(timer->interval(), 10);
        QCOMPARE(timer->timerType(), Qt::PreciseTimer);
        QVERIFY2(!timer->isActive(), "an idle tool must not wake up");
        bool active_inside = false;
        QTimer::singleShot(0, [&] { active_inside = timer->isActive(); });
        rig.program.ticks.WaitTicks(2);
        QVERIFY(active_inside);
        QVERIFY(!timer->isActive());
    }

    void caretStopsBlinkingWhenLeftAloneAndBlinksAgainOnInput() {
        if (QGuiApplication::styleHints()->cursorFlashTime() <= 0)
            QSKIP("this platform does not blink the caret");
        Rig rig;
        rig.main().show();
        CaretBlinkTimeout blink(nullptr);
        auto* timeout = blink.findChild<QTimer*>(QStringLiteral("caretBlinkTimeout"));
        QVERIFY(timeout);
        QVERIFY(blink.blinking());
        // Armed from the start: a tool nobody touches stops blinking too.
        QVERIFY2(timeout->isActive(), "the timeout is not armed at start-up");
        timeout->setInterval(0);  // the user has been away for the whole timeout
        QTRY_VERIFY_WITH_TIMEOUT(!blink.blinking(), 5000);
        QTest::keyClick(rig.main().Text1, Qt::Key_End);
        QVERIFY(blink.blinking());
        QTest::mouseClick(rig.main().Text1, Qt::LeftButton);
        QVERIFY(blink.blinking());
    }

    // Input while the caret still blinks gives it the whole timeout again.
    void inputRestartsTheBlinkTimeout_data() {
        QTest::addColumn<bool>("click");
        QTest::newRow("key") << false;
        QTest::newRow("click") << true;
    }
    void inputRestartsTheBlinkTimeout() {
        QFETCH(bool, click);
        Rig rig;
        rig.main().show();
        CaretBlinkTimeout blink(nullptr);
        auto* timeout = blink.findChild<QTimer*>(QStringLiteral("caretBlinkTimeout"));
        QVERIFY(timeout);
        // Stopped while the caret still blinks: only input can start it again.
        timeout->stop();
        QVERIFY(blink.blinking());
        if (click)
            QTest::mouseClick(rig.main().Text1, Qt::LeftButton);
        else
            QTest::keyClick(rig.main().Text1, Qt::Key_End);
        QVERIFY2(timeout->isActive(), "input must start the timeout anew");
    }

    void nestedWaitsKeepTheTimerForTheOuterOne() {
        Rig rig;
        QTimer* timer = rig.main().Timer1;
        bool inner_done = false;
        bool active_after_inner = false;
        // A handler that runs during a wait and waits itself (a timing
        // window opened during a ROM write's erase).
        QTimer::singleShot(0, [&] {
            rig.program.ticks.WaitTicks(1);
            inner_done = true;
            active_after_inner = timer->isActive();
        });
        // Without its timer the outer wait would never end: end the program
        // after a while instead, so the test fails by name rather than hang.
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { SetProgramEnding(true); });
        watchdog.start(1000);
        rig.program.ticks.WaitTicks(3);
        QVERIFY2(!ProgramEnding(), "the inner wait stopped the timer the outer wait needs");
        QVERIFY(inner_done);
        QVERIFY(active_after_inner);
        QVERIFY(!timer->isActive());
    }

    void waitTicksResetsTheCounterFirst() {
        Rig rig;
        rig.main();
        rig.program.ticks.TickCounter = 4000;
        int ticks_seen = 0;
        QObject::connect(rig.main().Timer1, &QTimer::timeout, [&] { ++ticks_seen; });
        rig.program.ticks.WaitTicks(2);
        QVERIFY(rig.program.ticks.TickCounter >= 2);
        QVERIFY(ticks_seen >= 2);
        QVERIFY2(ticks_seen < 4000, "the wait must not count on from 4000");
    }

    void workingWindowsExistOnce() {
        Rig rig;
        MainWindow& w = rig.main();
        w.Command2_Click();
        Form2* remote = w.remoteWindow();
        QVERIFY(remote);
        QVERIFY(remote->isVisible());
        QVERIFY(!remote->parentWidget());  // no owner window
        w.Command2_Click();
        QCOMPARE(w.remoteWindow(), remote);
        const auto tops = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(tops.begin(), tops.end(),
                               [](QWidget* widget) { return qobject_cast<Form2*>(widget); }),
                 1);
        // Closing a working window lets the next click make a fresh one.
        remote->close();
        QTRY_VERIFY(!w.remoteWindow());
        w.Command2_Click();
        QVERIFY(w.remoteWindow());
    }

    void secondClickDuringALoadMakesNoSecondWindow() {
        Rig rig;
        MainWindow& w = rig.main();
        // The timing window's load waits on ticks; a click meanwhile must wait its turn.
        bool clicked_meanwhile = false;
        QTimer::singleShot(0, &w, [&] {
            clicked_meanwhile = true;
            w.Command1_Click();
        });
        w.Command1_Click();
        QVERIFY(clicked_meanwhile);
        const auto tops = QApplication::topLevelWidgets();
        QCOMPARE(std::count_if(tops.begin(), tops.end(),
                               [](QWidget* widget) { return qobject_cast<Form6*>(widget); }),
                 1);
        QVERIFY(w.timingWindow()->isVisible());
    }

    void closingTheMainWindowClosesTheDeviceAndEveryWindow() {
        Rig rig;
        MainWindow& w = rig.main();
        w.show();
        w.Command2_Click();
        w.Command3_Click();
        QVERIFY(w.close());
        QVERIFY(ProgramEnding());
        QCOMPARE(rig.platform.openHandles(), 0);
        QVERIFY(!w.remoteWindow()->isVisible());
        QVERIFY(!w.captureWindow()->isVisible());
    }

    void waitReturnsWhenTheProgramEnds() {
        Rig rig;
        MainWindow& w = rig.main();
        w.show();
        // Far more ticks than the test lasts: only the close can end the wait.
        QTimer::singleShot(10, &w, [&w] { w.close(); });
        rig.program.ticks.WaitTicks(4000);
        QVERIFY(ProgramEnding());
    }

    void helpAndVersionNeedNoDisplay_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("first_line");
        QTest::newRow("version") << "--version"
                                 << "talvo4 " TALVO_VERSION;
        QTest::newRow("help") << "--help"
                              << "Usage: talvo4";
    }
    void helpAndVersionNeedNoDisplay() {
        QFETCH(QString, argument);
        QFETCH(QString, first_line);
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // A platform that does not exist aborts any QApplication.
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-here"));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        tool.setProcessEnvironment(environment);
        // Other arguments are ignored, before and after.
        tool.start(QStringLiteral(TALVO4_PATH), {QStringLiteral("-x"), argument});
        QVERIFY(tool.waitForFinished(10000));
        QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).section(u'\n', 0, 0), first_line);
    }
};

TALVO_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
