// Where a hidraw node's device is plugged in, and word of nodes that come
// and go, read from umockdev's mocked sysfs and uevents. Runs under
// umockdev-wrapper.

#include <poll.h>

#include "tests/support/test_main.h"

#include "device/device_link.h"
#include "device/hidapi_platform.h"
#include "sim/talvo_model.h"
#include "tests/device/mock_hidraw.h"

using namespace talvo;
using talvo::testing::MockHidraw;
using talvo::testing::MockInterface;
using talvo::testing::MockTalvo;

namespace {

bool Readable(const HidMonitor& monitor) {
    pollfd watched{monitor.descriptor(), POLLIN, 0};
    return ::poll(&watched, 1, 0) > 0;
}

}  // namespace

class UdevHidTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
    }

    void portPathAndSerialFromSysfs_data() {
        QTest::addColumn<QString>("usbName");
        QTest::addColumn<QString>("serial");
        QTest::newRow("behind a hub, with a serial number") << "1-2.3"
                                                            << "TV4-0042";
        QTest::newRow("root port, no serial number") << "3-1"
                                                     << "";
    }
    void portPathAndSerialFromSysfs() {
        QFETCH(QString, usbName);
        QFETCH(QString, serial);
        MockHidraw bed;
        bed.add(MockTalvo(usbName.toStdString(), "hidraw0", serial.toStdString()));
        HidapiPlatform platform;
        const auto described = platform.describe();
        QCOMPARE(described.size(), size_t(1));
        QCOMPARE(QString::fromStdString(described.front().port), usbName);
        QCOMPARE(QString::fromStdString(described.front().serial), serial);
    }

    // Arrivals and departures, in order, once each; nothing waits afterwards.
    void monitorTellsArrivalAndDeparture() {
        MockHidraw bed;
        HidapiPlatform platform;
        const auto monitor = platform.monitor();
        QVERIFY(monitor);
        QVERIFY(!Readable(*monitor));
        const std::string node = bed.add(MockTalvo("1-4", "hidraw0"));
        bed.pullOut(node);
        QVERIFY(Readable(*monitor));
        const auto changes = monitor->take();
        QCOMPARE(changes.size(), size_t(2));
        QVERIFY(changes[0].kind == HidChange::Kind::Arrived && changes[0].path == node);
        QVERIFY(changes[1].kind == HidChange::Kind::Left && changes[1].path == node);
        QVERIFY(monitor->take().empty());
        QVERIFY(!Readable(*monitor));
    }
};

TALVO_TEST_MAIN(UdevHidTest)
#include "udev_hid_test.moc"
