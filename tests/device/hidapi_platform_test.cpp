// The hidapi backend through the real libhidapi-hidraw, on hidraw nodes mocked
// with umockdev. Runs under umockdev-wrapper.

#include "tests/support/test_main.h"

#include <cerrno>

#include "device/device_link.h"
#include "device/device_listing.h"
#include "device/hidapi_platform.h"
#include "sim/sim_platform.h"
#include "sim/talvo_model.h"
#include "tests/device/mock_hidraw.h"
#include "tests/support/no_override.h"

using namespace talvo;
using namespace std::chrono_literals;
using talvo::testing::MockHidraw;
using talvo::testing::MockInterface;
using talvo::testing::NoOverride;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes TalvoDescriptor() {
    const auto bytes = sim::TalvoReportDescriptor();
    return {bytes.begin(), bytes.end()};
}

// A keyboard-like interface with two collections, each with a report ID:
// hidapi lists its node once per collection.
Bytes NumberedDescriptor() {
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x85, 0x01, 0x75, 0x08, 0x95,
            0x07, 0x81, 0x02, 0xC0, 0x05, 0x0C, 0x09, 0x01, 0xA1, 0x01, 0x85,
            0x02, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0x91, 0x02, 0xC0};
}

MockInterface Talvo(const std::string& usb_name, const std::string& node) {
    return {usb_name, node, kTalvoVendorId, kTalvoProductId, 0x0100, TalvoDescriptor()};
}

// The TALVO-4's collection with a Report ID item in it.
Bytes NumberedTalvoDescriptor() {
    Bytes bytes = TalvoDescriptor();
    bytes.insert(bytes.begin() + 7, {0x85, 0x01});  // after Collection (Application)
    return bytes;
}

// Same maker, another product.
MockInterface OtherProduct(const std::string& usb_name, const std::string& node) {
    return {usb_name, node, kTalvoVendorId, 0x0003, 0x0210, NumberedDescriptor()};
}

}  // namespace

class HidapiPlatformTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
    }

    // libudev lists the nodes in the order of their sysfs paths, so the USB
    // device names decide which interface comes first.
    void findsTheTalvoInEitherOrder_data() {
        QTest::addColumn<bool>("talvoFirst");
        QTest::newRow("TALVO-4 listed first") << true;
        QTest::newRow("TALVO-4 listed second") << false;
    }
    void findsTheTalvoInEitherOrder() {
        QFETCH(bool, talvoFirst);
        MockHidraw bed;
        const std::string talvo = bed.add(Talvo(talvoFirst ? "1-1" : "1-2", "hidraw0"));
        const std::string other = bed.add(OtherProduct(talvoFirst ? "1-2" : "1-1", "hidraw1"));

        HidapiPlatform platform;
        const std::vector<std::string> expectedOrder =
            talvoFirst ? std::vector{talvo, other} : std::vector{other, talvo};
        QCOMPARE(platform.enumerate(), expectedOrder);

        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QVERIFY(link.DeviceFound);
        QCOMPARE(link.DevicePath, talvo);
        QCOMPARE(link.DeviceCapabilities.InputReportByteLength, 65);
        QCOMPARE(link.DeviceCapabilities.OutputReportByteLength, 9);
        // Two handles on the TALVO-4 and the one its lock is held by, all
        // still open; the other product was opened only if it came first,
        // and closed again.
        QTRY_COMPARE(bed.opens(talvo), 3);
        QCOMPARE(bed.openHandles(talvo), 3);
        QCOMPARE(bed.opens(other), talvoFirst ? 0 : 1);
        QCOMPARE(bed.openHandles(other), 0);

        link.CloseDevice();
        QCOMPARE(bed.openHandles(talvo), 0);
    }

    // A composite TALVO-4 lists its keyboard first; a descriptor with
    // numbered reports fits no command either. Both open, and both are
    // passed over for the command interface after them.
    void passesOverInterfacesNoCommandFits_data() {
        QTest::addColumn<Bytes>("descriptor");
        QTest::newRow("boot keyboard")
            << sim::SimPlatform::KeyboardInterface("keyboard").report_descriptor;
        QTest::newRow("numbered reports") << NumberedTalvoDescriptor();
    }
    void passesOverInterfacesNoCommandFits() {
        QFETCH(Bytes, descriptor);
        MockHidraw bed;
        const std::string other =
            bed.add({"1-1", "hidraw0", kTalvoVendorId, kTalvoProductId, 0x0100, descriptor});
        const std::string talvo = bed.add(Talvo("1-2", "hidraw1"));
        HidapiPlatform platform;
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(link.DevicePath, talvo);
        QCOMPARE(bed.openHandles(other), 0);
        link.SendCommand(0x13, 0x0C, 0, 0, 0, 0, 0, 0);
        QTRY_COMPARE(bed.writes(talvo).size(), size_t(1));
        QVERIFY(bed.writes(other).empty());

        const auto list = ListTalvoInterfaces(platform);
        QCOMPARE(list.size(), size_t(2));
        QVERIFY(IsOtherInterface(list[0]));
        QVERIFY(!IsOtherInterface(list[1]));
    }

    // hidraw's write fails with the USB transfer's error: a stall is sent
    // again, an unplugged node's ENODEV is taken as the device gone.
    void writeErrorsThroughHidraw_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("failing");
        QTest::addColumn<size_t>("written");
        QTest::addColumn<bool>("lost");
        QTest::addColumn<bool>("writeFailed");
        const int tries = DeviceLink::kWriteAttempts;
        QTest::newRow("one stall") << EPIPE << 1 << size_t(1) << false << false;
        QTest::newRow("bus error on every try") << EPROTO << tries << size_t(0) << false << true;
        QTest::newRow("unplugged") << ENODEV << 1 << size_t(0) << true << false;
    }
    void writeErrorsThroughHidraw() {
        QFETCH(int, error);
        QFETCH(int, failing);
        MockHidraw bed;
        const std::string talvo = bed.add(Talvo("1-1", "hidraw0"));
        HidapiPlatform platform;
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        bed.failWrites(talvo, std::vector<int>(size_t(failing), error));
        link.SendCommand(0x13, 0x0C, 0, 0, 0, 0, 0, 0);
        QTEST(bed.writes(talvo).size(), "written");
        QTEST(link.deviceLost(), "lost");
        QTEST(link.writeFailed(), "writeFailed");
        QCOMPARE(link.health().last_write_error, error);
    }

    void noTalvoPresent() {
        MockHidraw bed;
        const std::string other = bed.add(OtherProduct("1-1", "hidraw0"));
        HidapiPlatform platform;
        DeviceLink link(platform);
        QVERIFY(!link.FindDevice());
        QCOMPARE(link.DeviceCapabilities.InputReportByteLength, 0);
        QTRY_COMPARE(bed.opens(other), 1);
        QCOMPARE(bed.openHandles(other), 0);
    }

    // hidapi lists a node once per top-level collection; the interface is
    // still one candidate.
    void eachInterfaceListedOnce() {
        MockHidraw bed;
        const std::string other = bed.add(OtherProduct("1-1", "hidraw0"));
        const std::string talvo = bed.add(Talvo("1-2", "hidraw1"));
        HidapiPlatform platform;
        QCOMPARE(platform.enumerate(), (std::vector{other, talvo}));
    }

    void attributesComeFromTheUsbDevice() {
        MockHidraw bed;
        const std::string other = bed.add(OtherProduct("1-1", "hidraw0"));
        HidapiPlatform platform;
        // Opened without enumerating first: the identifiers are looked up.
        const auto connection = platform.open(other);
        QVERIFY(connection);
        const auto attributes = connection->attributes();
        QVERIFY(attributes);
        QCOMPARE(attributes->VendorID, kTalvoVendorId);
        QCOMPARE(attributes->ProductID, 0x0003);
        QCOMPARE(attributes->VersionNumber, 0x0210);
        const auto caps = connection->capabilities();
        QVERIFY(caps);
        QCOMPARE(caps->InputReportByteLength, 8);
        QCOMPARE(caps->OutputReportByteLength, 4);
    }

    void missingNodeCannotBeOpened() {
        MockHidraw bed;
        bed.add(Talvo("1-1", "hidraw0"));
        HidapiPlatform platform;
        QVERIFY(!platform.open("/dev/hidraw7"));
    }

    void noDescriptorNoCapabilities() {
        MockHidraw bed;
        MockInterface bare = Talvo("1-1", "hidraw0");
        bare.descriptor.clear();
        const std::string node = bed.add(bare);
        HidapiPlatform platform;
        const auto connection = platform.open(node);
        QVERIFY(connection);
        QVERIFY(!connection->capabilities());
    }

    void commandReportReachesTheNode() {
        MockHidraw bed;
        const std::string talvo = bed.add(Talvo("1-1", "hidraw0"));
        HidapiPlatform platform;
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        // Bytes a terminal would translate or swallow must arrive untouched.
        link.SendCommand(0x13, 0x0A, 0x0D, 0x11, 0x7F, 0x03, 0x04, 0xFF);
        QTRY_COMPARE(bed.writes(talvo).size(), size_t(1));
        QCOMPARE(bed.writes(talvo).front(),
                 (Bytes{0x00, 0x13, 0x0A, 0x0D, 0x11, 0x7F, 0x03, 0x04, 0xFF}));
    }

    // The TALVO-4 uses no report IDs: hidapi hands over the data alone, the
    // link puts ID 0 in front of it.
    void unnumberedReportGetsIdZero() {
        MockHidraw bed;
        const std::string talvo = bed.add(Talvo("1-1", "hidraw0"));
        HidapiPlatform platform;
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        Bytes report(64);
        for (size_t i = 0; i < report.size(); ++i) report[i] = uint8_t(0x80 + i);
        QVERIFY(bed.feed(talvo, report));
        link.ReadResponse();
        QCOMPARE(link.ResponseBuffer.size(), size_t(65));
        QCOMPARE(link.ResponseBuffer[0], 0);
        for (size_t i = 0; i < report.size(); ++i) QCOMPARE(link.ResponseBuffer[i + 1], report[i]);
    }

    void numberedReportKeepsItsId() {
        MockHidraw bed;
        const std::string node = bed.add(OtherProduct("1-1", "hidraw0"));
        HidapiPlatform platform;
        const auto connection = platform.open(node);
        QVERIFY(connection);
        QVERIFY(bed.feed(node, Bytes{0x02, 0x31, 0x32, 0x33}));
        Bytes buffer(6, 0xEE);
        QCOMPARE(connection->readReport(buffer, 1000ms), ReadOutcome::Completed);
        QCOMPARE(buffer, (Bytes{0x02, 0x31, 0x32, 0x33, 0xEE, 0xEE}));
    }

    // A TALVO-4 whose node this user may not open is listed with that
    // reason; discovery passes over it to the next one, and the interface
    // of another product is not opened by the listing at all.
    void listingTellsNoPermissionApart() {
        MockHidraw bed;
        const std::string other = bed.add(OtherProduct("1-1", "hidraw0"));
        const std::string locked = bed.add(Talvo("1-2", "hidraw1"));
        const std::string open = bed.add(Talvo("1-3", "hidraw2"));
        QVERIFY(bed.denyAccess(locked));
        NoOverride as_a_user;
        QVERIFY(as_a_user.ok());

        HidapiPlatform platform;
        const auto list = ListTalvoInterfaces(platform);
        QCOMPARE(list.size(), size_t(2));
        QCOMPARE(list[0].path, locked);
        QCOMPARE(list[0].refusal, OpenRefusal::NoPermission);
        QVERIFY(!list[0].capabilities);
        QCOMPARE(list[1].path, open);
        QCOMPARE(list[1].refusal, OpenRefusal::None);
        QVERIFY(list[1].capabilities);
        QCOMPARE(list[1].capabilities->InputReportByteLength, 65);
        QCOMPARE(list[1].capabilities->OutputReportByteLength, 9);
        QCOMPARE(bed.opens(other), 0);
        QCOMPARE(bed.openHandles(open), 0);

        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(link.DevicePath, open);
    }

    void listingTellsAVanishedNodeApart() {
        MockHidraw bed;
        bed.add(Talvo("1-1", "hidraw0"));
        HidapiPlatform platform;
        QCOMPARE(platform.probeOpen("/dev/hidraw9"), OpenRefusal::Gone);
    }

    // A node that keeps quiet times out and leaves the buffer alone; an
    // unplugged one fails at once. The terminal tool tells a silent device
    // from a vanished one by it.
    void readOutcomes_data() {
        QTest::addColumn<bool>("unplugged");
        QTest::addColumn<ReadOutcome>("outcome");
        QTest::newRow("silent") << false << ReadOutcome::TimedOut;
        QTest::newRow("unplugged") << true << ReadOutcome::Failed;
    }
    void readOutcomes() {
        QFETCH(bool, unplugged);
        QFETCH(ReadOutcome, outcome);
        MockHidraw bed;
        const std::string talvo = bed.add(Talvo("1-1", "hidraw0"));
        HidapiPlatform platform;
        const auto connection = platform.open(talvo);
        QVERIFY(connection);
        if (unplugged) QVERIFY(bed.unplug(talvo));
        Bytes buffer(65, 0xEE);
        QCOMPARE(connection->readReport(buffer, 20ms), outcome);
        QCOMPARE(buffer, Bytes(65, 0xEE));
    }
};

TALVO_TEST_GUILESS_MAIN(HidapiPlatformTest)
#include "hidapi_platform_test.moc"
