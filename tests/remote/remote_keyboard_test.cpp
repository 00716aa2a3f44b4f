// The remote from the keyboard: the arrow keys press the cross, Return and
// Enter its centre, once a press; Space and Tab keep their usual meaning.

#include <QPushButton>
#include <QTest>

#include "remote/form2.h"
#include "remote/key_button.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::testing::Rig;

namespace {

// The remote, shown and active, with the focus on `focus` (or on no button).
Form2* OpenActiveRemote(Rig& rig, QPushButton* (*focus)(Form2*)) {
    rig.main().Command2_Click();
    Form2* pad = rig.main().remoteWindow();
    pad->activateWindow();
    if (!QTest::qWaitForWindowActive(pad)) return nullptr;
    if (focus)
        focus(pad)->setFocus(Qt::TabFocusReason);
    else if (QWidget* w = pad->focusWidget())
        w->clearFocus();
    rig.talvo.clearRecord();
    return pad;
}

QPushButton* Centre(Form2* pad) { return pad->Command22; }
QPushButton* Corner(Form2* pad) { return pad->Command18; }

// A key as the window system delivers it to the focus, each event 10 ms after
// the one before; `same_time` keeps the stamp of the event before, as X11
// stamps a held key's repeats.
void Key(Form2* pad, QEvent::Type type, int key, Qt::KeyboardModifiers modifiers = {},
         bool repeat = false, bool same_time = false) {
    static ulong time = 1000;
    if (!same_time) time += 10;
    const QString text = key == Qt::Key_Return || key == Qt::Key_Enter ? QStringLiteral("\r")
                         : key == Qt::Key_Space                        ? QStringLiteral(" ")
                                                                       : QString();
    QKeyEvent event(type, key, modifiers, text, repeat);
    event.setTimestamp(time);
    QWidget* focus = QApplication::focusWidget();
    QApplication::sendEvent(focus ? focus : pad, &event);
}

}  // namespace

class RemoteKeyboardTest : public QObject {
    Q_OBJECT
  private slots:
    void mappedKeyPressesItsButton_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("button_focused");
        QTest::addColumn<int>("button");  // 0: the key is not the pad's
        QTest::addColumn<int>("code");
        const struct {
            const char* name;
            int key;
            Qt::KeyboardModifiers modifiers;
            int button, code;
        } keys[] = {
            {"Up", Qt::Key_Up, {}, 21, 0x0C},
            {"Left", Qt::Key_Left, {}, 24, 0x08},
            {"Right", Qt::Key_Right, {}, 25, 0x04},
            {"Down", Qt::Key_Down, {}, 23, 0x10},
            {"Return", Qt::Key_Return, {}, 22, 0x03},
            {"keypad Enter", Qt::Key_Enter, Qt::KeypadModifier, 22, 0x03},
            {"Ctrl+Up", Qt::Key_Up, Qt::ControlModifier, 0, 0},
            {"Shift+Return", Qt::Key_Return, Qt::ShiftModifier, 0, 0},
            {"Home", Qt::Key_Home, {}, 0, 0},
        };
        // A focused button would take the arrows for moving the focus itself.
        for (bool focused : {true, false})
            for (const auto& k : keys)
                QTest::addRow("%s, %s", k.name, focused ? "a button focused" : "no focus")
                    << k.key << int(k.modifiers) << focused << k.button << k.code;
    }
    void mappedKeyPressesItsButton() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, button_focused);
        QFETCH(int, button);
        QFETCH(int, code);
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, button_focused ? Corner : nullptr);
        QVERIFY(pad);
        QWidget* focus = pad->focusWidget();
        rig.link.CommandBytes = {0x11, 0x00, 0x2A, 0x5A, 1, 2, 3, 4};

        Key(pad, QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers));
        if (!button) {
            QVERIFY(rig.talvo.reports().empty());
            return;
        }
        QCOMPARE(rig.talvo.reports().size(), size_t(1));
        const std::vector<uint8_t> expected{0x00, 0x13, uint8_t(code), 0x2A, 0x5A, 1, 2, 3, 4};
        QCOMPARE(rig.talvo.reports().front().bytes, expected);
        QCOMPARE(rig.talvo.queuedAnswers(), size_t(0));  // its answer was read
        // The button is down while the key is held, and looks it.
        auto* pressed = static_cast<KeyButton*>(pad->button(button));
        QVERIFY(pressed->isDown());
        const QImage down = pressed->grab().toImage();

        Key(pad, QEvent::KeyRelease, key, Qt::KeyboardModifiers(modifiers));
        QTRY_VERIFY(!pressed->isDown());
        QVERIFY(pressed->grab().toImage() != down);
        QCOMPARE(rig.talvo.reports().size(), size_t(1));
        QCOMPARE(pad->focusWidget(), focus);
    }

    void heldKeySendsOnce_data() {
        QTest::addColumn<bool>("marked");
        QTest::newRow("repeats marked as such") << true;
        // As X11 may deliver them: plain releases and presses sharing a stamp.
        QTest::newRow("repeats sharing the release's time") << false;
    }
    void heldKeySendsOnce() {
        QFETCH(bool, marked);
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, Corner);
        QVERIFY(pad);
        Key(pad, QEvent::KeyPress, Qt::Key_Up);
        for (int i = 0; i < 5; ++i) {
            Key(pad, QEvent::KeyRelease, Qt::Key_Up, {}, marked);
            Key(pad, QEvent::KeyPress, Qt::Key_Up, {}, marked, true);
            QCoreApplication::processEvents();
            QVERIFY(pad->Command21->isDown());  // no flicker between repeats
        }
        // A second press of a key whose release never came does not send either.
        Key(pad, QEvent::KeyPress, Qt::Key_Up);
        Key(pad, QEvent::KeyRelease, Qt::Key_Up);
        QCOMPARE(rig.talvo.reports().size(), size_t(1));
        QCOMPARE(rig.talvo.readsServed(), 1);
        QTRY_VERIFY(!pad->Command21->isDown());
        QCOMPARE(pad->focusWidget(), pad->Command18);
    }

    void twoPressesSendTwoReports() {
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, nullptr);
        QVERIFY(pad);
        for (int i = 0; i < 2; ++i) {
            Key(pad, QEvent::KeyPress, Qt::Key_Return);
            Key(pad, QEvent::KeyRelease, Qt::Key_Return);
        }
        const auto commands = rig.talvo.commands();
        QCOMPARE(commands.size(), size_t(2));
        QCOMPARE(commands[0], commands[1]);
        QCOMPARE(int(commands[0][1]), 0x03);
        QCOMPARE(rig.talvo.readsServed(), 2);
    }

    void returnAndEnterHoldTheCentreTogether() {
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, nullptr);
        QVERIFY(pad);
        Key(pad, QEvent::KeyPress, Qt::Key_Return);
        Key(pad, QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
        Key(pad, QEvent::KeyRelease, Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(pad->Command22->isDown());
        Key(pad, QEvent::KeyRelease, Qt::Key_Enter, Qt::KeypadModifier);
        QTRY_VERIFY(!pad->Command22->isDown());
        QCOMPARE(rig.talvo.reports().size(), size_t(2));
    }

    void leavingTheWindowLetsHeldButtonsUp() {
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, nullptr);
        QVERIFY(pad);
        Key(pad, QEvent::KeyPress, Qt::Key_Down);
        QVERIFY(pad->Command23->isDown());
        rig.main().show();
        rig.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.main()));
        QVERIFY(!pad->Command23->isDown());
        // Its release, gone to the other window, is not needed: the key presses again.
        pad->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(pad));
        Key(pad, QEvent::KeyPress, Qt::Key_Down);
        QCOMPARE(rig.talvo.reports().size(), size_t(2));
    }

    void spacePressesTheFocusedButton_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("code");
        QTest::newRow("Command18") << 18 << 0x00;
        // A mapped button too: Space presses it, not the key it is mapped to.
        QTest::newRow("Command21") << 21 << 0x0C;
    }
    void spacePressesTheFocusedButton() {
        QFETCH(int, button);
        QFETCH(int, code);
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, nullptr);
        QVERIFY(pad);
        pad->button(button)->setFocus(Qt::TabFocusReason);
        Key(pad, QEvent::KeyPress, Qt::Key_Space);
        QVERIFY(pad->button(button)->isDown());
        Key(pad, QEvent::KeyRelease, Qt::Key_Space);
        QCOMPARE(rig.talvo.commands().size(), size_t(1));
        QCOMPARE(int(rig.talvo.commands().front()[1]), code);
    }

    void tabMovesTheFocus() {
        Rig rig;
        Form2* pad = OpenActiveRemote(rig, Centre);
        QVERIFY(pad);
        Key(pad, QEvent::KeyPress, Qt::Key_Tab);
        Key(pad, QEvent::KeyRelease, Qt::Key_Tab);
        QWidget* next = pad->focusWidget();
        QVERIFY(next && next != pad->Command22);
        QVERIFY(qobject_cast<KeyButton*>(next));
        Key(pad, QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
        Key(pad, QEvent::KeyRelease, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(pad->focusWidget(), pad->Command22);
        QVERIFY(rig.talvo.reports().empty());
    }

    void mappedButtonsNameTheirKey_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("key");
        QTest::newRow("Command21") << 21 << QStringLiteral("↑");
        QTest::newRow("Command24") << 24 << QStringLiteral("←");
        QTest::newRow("Command25") << 25 << QStringLiteral("→");
        QTest::newRow("Command23") << 23 << QStringLiteral("↓");
        QTest::newRow("Command22") << 22 << QStringLiteral("Enter");
    }
    void mappedButtonsNameTheirKey() {
        QFETCH(int, button);
        QFETCH(QString, key);
        Rig rig;
        rig.main().Command2_Click();
        QPushButton* b = rig.main().remoteWindow()->button(button);
        QVERIFY2(b->accessibleDescription().contains(key), qPrintable(b->accessibleDescription()));
        QVERIFY(b->toolTip().contains(key));
        QVERIFY(talvo::testing::EncodesInCp932(b->toolTip()));
    }
};

TALVO_TEST_MAIN(RemoteKeyboardTest)
#include "remote_keyboard_test.moc"
