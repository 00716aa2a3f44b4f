// The main window following its TALVO-4 as it is plugged in and pulled out,
// over the real hidapi backend on umockdev's mocked hidraw nodes and uevents.
// Runs under umockdev-wrapper, on the offscreen platform.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "app/device_follower.h"
#include "app/main_window.h"
#include "app/texts.h"
#include "capture/form5.h"
#include "device/hidapi_platform.h"
#include "device/interface_lock.h"
#include "sim/talvo_model.h"
#include "tests/device/mock_hidraw.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

using Bytes = std::vector<uint8_t>;

MockInterface Talvo(const std::string& node) { return testing::MockTalvo("1-2.3", node); }

MockInterface Keyboard() {
    MockInterface keyboard = Talvo("hidraw9");
    keyboard.usb_name = "1-1";
    keyboard.vendor = 0x046D;
    return keyboard;
}

// Lets the window take what the monitor has to say.
void Settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
}

// One input report of the TALVO-4: 64 data bytes, these first.
Bytes Answer(Bytes first = {}) {
    first.resize(64, 0);
    return first;
}

// What the capture window's readiness check reads: the live picture's and
// the key's answers, then a picture information with FPGA selection 2.
std::vector<Bytes> ReadyAnswers() { return {Answer(), Answer(), Answer({0, 0, 0, 0, 2})}; }

// A 65 x 101 picture's information, its first `lines` lines (six reports
// each), and the answer to the capture's end.
std::vector<Bytes> PictureWithLines(int lines) {
    std::vector<Bytes> answers{Answer({65, 0, 101, 0, 2})};
    for (int line = 0; line < lines; ++line) {
        Bytes reports;
        for (int report = 0; report < 6; ++report) {
            const Bytes data = Answer({uint8_t(0x40 + line * 6 + report)});
            reports.insert(reports.end(), data.begin(), data.end());
        }
        answers.push_back(reports);
    }
    answers.push_back(Answer());
    return answers;
}

int LineRequests(const MockHidraw& bed, const std::string& node) {
    int requests = 0;
    for (const Bytes& report : bed.writes(node)) requests += report.size() > 1 && report[1] == 0x15;
    return requests;
}

struct Tool {
    explicit Tool(bool follow = true) : link(platform), program(link, dialogs, &platform) {
        window = std::make_unique<MainWindow>(program);
        if (follow) window->followDevice(platform.monitor());
    }
    ~Tool() {
        window.reset();
        link.CloseDevice();
    }
    // Text1, the buttons and DeviceConnected all tell the same state.
    bool shows(bool connected) const {
        return window->Text1->text() == (connected ? texts::kConnected : texts::kNotConnected) &&
               window->Command2->isEnabled() == connected &&
               window->Command3->isEnabled() == connected &&
               program.DeviceConnected == int(connected);
    }

    HidapiPlatform platform;
    DeviceLink link;
    ScriptedDialogs dialogs;
    Program program;
    std::unique_ptr<MainWindow> window;
};

}  // namespace

class HotplugHidrawTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
    }

    // The events the window hears, and the state it is left in.
    void followsTheDevice_data() {
        // absent, present or held (by another program); "unfollowed": no monitor
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("lookDue");  // another look in a second is due
        QTest::newRow("absent, then plugged in")
            << "absent" << QStringList{"plug"} << true << false;
        QTest::newRow("connected, then pulled out")
            << "present" << QStringList{"pull"} << false << false;
        QTest::newRow("pulled out, then plugged in again")
            << "present" << QStringList{"pull", "plug"} << true << false;
        QTest::newRow("another HID device leaves")
            << "present" << QStringList{"keyboard leaves"} << true << false;
        QTest::newRow("in use, then let go")
            << "held" << QStringList{"free", "look"} << true << false;
        QTest::newRow("in use, still held") << "held" << QStringList{"look"} << false << true;
        // The write's remaining data must not reach the device plugged in.
        QTest::newRow("pulled out and plugged in again during a ROM write")
            << "present" << QStringList{"write", "pull", "plug"} << false << true;
        QTest::newRow("no monitor: plugged in, not noticed")
            << "absent, unfollowed" << QStringList{"plug"} << false << false;
    }
    void followsTheDevice() {
        QFETCH(QString, start);
        QFETCH(QStringList, events);
        QFETCH(bool, connected);
        QFETCH(bool, lookDue);
        MockHidraw bed;
        const std::string keyboard = bed.add(Keyboard());
        std::string node;
        if (!start.startsWith(QLatin1String("absent"))) node = bed.add(Talvo("hidraw0"));
        LockAttempt other_program;
        if (start == QLatin1String("held")) other_program = LockExclusively(node);

        Tool tool(!start.endsWith(QLatin1String("unfollowed")));
        QVERIFY(tool.shows(start == QLatin1String("present")));
        std::optional<DeviceLink::Exclusive> rom_write;
        for (const QString& event : events) {
            if (event == QLatin1String("plug")) {
                node = bed.add(Talvo(node.empty() ? "hidraw0" : "hidraw1"));
            } else if (event == QLatin1String("pull")) {
                bed.pullOut(node);
            } else if (event == QLatin1String("keyboard leaves")) {
                bed.pullOut(keyboard);
            } else if (event == QLatin1String("write")) {
                rom_write.emplace(tool.link);
            } else if (event == QLatin1String("free")) {
                other_program.lock.reset();
            } else if (event == QLatin1String("look")) {
                // Due in a second at most; what it then does is done here at
                // once, without waiting out the second.
                QTimer* look = tool.window->follower()->lookTimer();
                QVERIFY(look->isActive() && look->interval() <= 1000);
                look->stop();
                tool.window->lookAgain();
            }
            Settle();
        }
        QVERIFY(tool.shows(connected));
        const DeviceFollower* follower = tool.window->follower();
        QCOMPARE(follower && follower->lookTimer()->isActive(), lookDue);
        rom_write.reset();
        if (connected) {
            // The lock is taken: another program finds the device in use.
            QCOMPARE(tool.platform.probeOpen(node), OpenRefusal::Busy);
        } else if (start != QLatin1String("held")) {
            QCOMPARE(bed.openHandles(node), 0);
        }
    }

    // Pulled out during a capture: the capture ends as its stop ends it,
    // with the lines it got; plugged in again, the same window captures.
    void captureEndsWhenPulledOutAndRunsWhenBack() {
        MockHidraw bed;
        std::string node = bed.add(Talvo("hidraw0"));
        Tool tool;
        QVERIFY(tool.shows(true));
        bed.answerWrites(node, ReadyAnswers());
        tool.window->Command3_Click();
        Form5* capture = tool.window->captureWindow();
        QVERIFY(capture && capture->Command2->isEnabled());

        bed.answerWrites(node, PictureWithLines(2));
        // Pulled out as soon as the window handles events between two lines.
        QTimer::singleShot(0, [&bed, node] { bed.pullOut(node); });
        capture->Command2_Click();
        QVERIFY(!capture->capturing());
        QVERIFY(tool.shows(false));
        QCOMPARE(bed.openHandles(node), 0);
        // A few lines, not all 101 on zeros.
        QVERIFY2(LineRequests(bed, node) <= 4,
                 qPrintable(QString::number(LineRequests(bed, node))));
        QCOMPARE(tool.program.capture.frame_buffer[0], uint8_t(0));
        QCOMPARE(tool.program.capture.frame_buffer[2], uint8_t(0x40));
        QVERIFY(capture->Command2->isEnabled() && capture->Command4->isEnabled());

        node = bed.add(Talvo("hidraw1"));
        Settle();
        QVERIFY(tool.shows(true));
        QCOMPARE(tool.window->captureWindow(), capture);
        // One line, then the stop button.
        bed.answerWrites(node, PictureWithLines(1));
        QTimer::singleShot(0, capture, &Form5::Command3_Click);
        capture->Command2_Click();
        QCOMPARE(LineRequests(bed, node), 1);
        QCOMPARE(tool.program.capture.frame_buffer[2], uint8_t(0x40));
        QVERIFY(tool.shows(true));
    }
};

TALVO_TEST_MAIN(HotplugHidrawTest)
#include "hotplug_hidraw_test.moc"
