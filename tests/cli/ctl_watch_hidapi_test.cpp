// talvo4ctl's port paths, --device usb:PORT and watch, through the real
// libhidapi-hidraw on umockdev-mocked nodes that come and go. The program
// inherits the mocked /sys, /dev and uevents from this test, which runs
// under umockdev-wrapper.

#include <QJsonArray>
#include <QJsonDocument>

#include "tests/support/test_main.h"

#include "device/device_link.h"
#include "sim/talvo_model.h"
#include "tests/cli/ctl_runner.h"
#include "tests/device/mock_hidraw.h"

using talvo::testing::CtlRun;
using talvo::testing::MockHidraw;
using talvo::testing::MockInterface;
using talvo::testing::MockTalvo;
using talvo::testing::RunCtl;
using talvo::testing::RunningCtl;

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

QList<QJsonObject> JsonLines(const QByteArray& out) {
    QList<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty()) objects.append(QJsonDocument::fromJson(line).object());
    return objects;
}

}  // namespace

class CtlWatchHidapiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
    }

    // list names the port path and serial number; --json carries both.
    void listShowsPortAndSerial() {
        MockHidraw bed;
        bed.add(MockTalvo("1-2.3", "hidraw0", "TV4-0042"));
        const CtlRun run = RunCtl({"list"});
        QCOMPARE(run.exit_code, 0);
        QVERIFY2(run.out.endsWith("\tport 1-2.3\tserial TV4-0042\n"), run.out);
        const QJsonArray interfaces = RunCtl({"--json", "list"}).object()["interfaces"].toArray();
        QVERIFY(talvo::testing::Holds(
            interfaces, QJsonArray{QJsonObject{{"port", "1-2.3"}, {"serial", "TV4-0042"}}}));
    }

    void deviceByPortPath_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<int>("chosen");  // which TALVO-4 hears the key; -1: none
        QTest::newRow("the second one's port") << "usb:1-4" << 0 << 1;
        QTest::newRow("a port with nothing in it") << "usb:1-9" << 3 << -1;
    }
    void deviceByPortPath() {
        QFETCH(QString, port);
        QFETCH(int, exitCode);
        QFETCH(int, chosen);
        MockHidraw bed;
        const std::string nodes[] = {bed.add(MockTalvo("1-3", "hidraw0")),
                                     bed.add(MockTalvo("1-4", "hidraw1"))};
        const CtlRun run = RunCtl({"--device", port, "key", "5"});
        QCOMPARE(run.exit_code, exitCode);
        for (int i = 0; i < 2; ++i)
            QCOMPARE(bed.writes(nodes[i]).size(), size_t(i == chosen ? 1 : 0));
    }

    // The one present first, as an arrival; then one plugged in and pulled
    // out again while it watches; Ctrl+C ends it with exit 0.
    void watchTellsArrivalsAndDepartures() {
        MockHidraw bed;
        const std::string present = bed.add(MockTalvo("1-2", "hidraw0"));
        RunningCtl watch({"--json", "watch"});
        QVERIFY(watch.waitForError("watching"));
        // Each look opens every TALVO-4 there is: that is how this test
        // knows the program has heard of a change.
        const int looks = bed.opens(present);
        const std::string plugged = bed.add(MockTalvo("1-5.1", "hidraw1", "TV4-7"));
        QTRY_VERIFY_WITH_TIMEOUT(bed.opens(plugged) >= 2 && bed.opens(present) > looks, 10000);
        const int looks_with_both = bed.opens(present);
        bed.pullOut(plugged);
        QTRY_VERIFY_WITH_TIMEOUT(bed.opens(present) > looks_with_both, 10000);
        watch.interrupt();
        const CtlRun run = watch.finish(10000);
        QCOMPARE(run.exit_code, 0);
        const QList<QJsonObject> lines = JsonLines(run.out);
        QVERIFY2(lines.size() == 4,
                 QByteArray(run.out + run.err).replace('\n', " | "));  // and the closing object
        QVERIFY(talvo::testing::Holds(
            QJsonArray{lines[0], lines[1], lines[2]},
            QJsonArray{QJsonObject{{"event", "arrived"},
                                   {"path", Q(present)},
                                   {"port", "1-2"},
                                   {"state", "ready"}},
                       QJsonObject{{"event", "arrived"},
                                   {"path", Q(plugged)},
                                   {"port", "1-5.1"},
                                   {"serial", "TV4-7"},
                                   {"state", "ready"}},
                       QJsonObject{{"event", "left"}, {"path", Q(plugged)}, {"port", "1-5.1"}}}));
        QCOMPARE(lines[3]["exit_code"].toInt(), 0);
    }

    // --wait takes the device the moment it is plugged in.
    void waitTakesTheDeviceAsItArrives() {
        MockHidraw bed;
        RunningCtl key({"--wait", "20", "key", "5"});
        QVERIFY(key.waitForError("waiting up to 20 s"));
        const std::string node = bed.add(MockTalvo("1-2", "hidraw0"));
        const CtlRun run = key.finish(10000);
        QCOMPARE(run.exit_code, 0);
        QCOMPARE(bed.writes(node).size(), size_t(1));
    }
};

TALVO_TEST_GUILESS_MAIN(CtlWatchHidapiTest)
#include "ctl_watch_hidapi_test.moc"
