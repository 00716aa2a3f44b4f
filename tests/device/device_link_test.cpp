// The device link against simulated HID interfaces: discovery, report
// layout, and the bounds of ReadResponse.

#include "tests/support/test_main.h"

#include <cerrno>

#include "device/device_link.h"
#include "device/device_listing.h"
#include "device/sequence.h"
#include "sim/sim_platform.h"

Q_DECLARE_METATYPE(talvo::sim::SimInterface)

using namespace talvo;
using namespace std::chrono_literals;

namespace {

sim::SimInterface Other(const std::string& path, uint16_t vendor, uint16_t product) {
    const auto descriptor = sim::TalvoReportDescriptor();
    return {path,  vendor, product, std::vector<uint8_t>(descriptor.begin(), descriptor.end()),
            false, nullptr};
}

// A descriptor with a given output report length (report-ID byte excluded).
std::vector<uint8_t> DescriptorWithOutput(uint8_t output_bytes) {
    return {0x06, 0x00, 0xFF, 0x09,         0x01, 0xA1, 0x01, 0x15, 0x00,
            0x26, 0xFF, 0x00, 0x75,         0x08, 0x95, 0x40, 0x09, 0x01,
            0x81, 0x02, 0x95, output_bytes, 0x09, 0x01, 0x91, 0x02, 0xC0};
}

// The TALVO-4's own collection with a Report ID item in it.
std::vector<uint8_t> NumberedTalvoDescriptor() {
    const auto plain = sim::TalvoReportDescriptor();
    std::vector<uint8_t> bytes(plain.begin(), plain.end());
    bytes.insert(bytes.begin() + 7, {0x85, 0x01});  // after Collection (Application)
    return bytes;
}

}  // namespace

class DeviceLinkTest : public QObject {
    Q_OBJECT
  private slots:
    void noInterfaceAtAll() {
        sim::SimPlatform platform;
        DeviceLink link(platform);
        QVERIFY(!link.FindDevice());
        QVERIFY(!link.DeviceFound);
        QCOMPARE(link.DeviceCapabilities.InputReportByteLength, 0);
        QCOMPARE(platform.openHandles(), 0);
    }

    void otherProductsAreRejectedAndClosed() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform;
        platform.addInterface(Other("kbd", 0x046D, 0xC52F));
        platform.addInterface(Other("same-vendor", 0x17A7, 0x0003));
        platform.addInterface(sim::SimPlatform::TalvoInterface("talvo", talvo));
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(platform.opens("kbd"), 1);
        QCOMPARE(platform.opens("same-vendor"), 1);
        // Opened once for command reports and once for reading.
        QCOMPARE(platform.opens("talvo"), 2);
        QCOMPARE(platform.openHandles(), 2);
        QCOMPARE(link.DevicePath, std::string("talvo"));
        QCOMPARE(link.DeviceCapabilities.InputReportByteLength, 65);
        QCOMPARE(link.DeviceCapabilities.OutputReportByteLength, 9);
    }

    void onlyOtherProductsLeavesNothingOpen() {
        sim::SimPlatform platform;
        platform.addInterface(Other("a", 0x17A7, 0x0001));
        platform.addInterface(Other("b", 0x1234, 0x0002));
        DeviceLink link(platform);
        QVERIFY(!link.FindDevice());
        QCOMPARE(platform.openHandles(), 0);
    }

    void firstOfTwoMatchingIsUsed() {
        sim::TalvoModel first, second;
        sim::SimPlatform platform;
        platform.addInterface(sim::SimPlatform::TalvoInterface("first", first));
        platform.addInterface(sim::SimPlatform::TalvoInterface("second", second));
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(platform.opens("second"), 0);
        link.SendCommand(0x13, 0x05, 0, 0, 0, 0, 0, 0);
        QCOMPARE(first.reports().size(), size_t(1));
        QCOMPARE(second.reports().size(), size_t(0));
    }

    void candidateThatRefusesToOpenDoesNotMatch() {
        sim::TalvoModel held, talvo;
        sim::SimPlatform platform;
        auto refused = sim::SimPlatform::TalvoInterface("held", held);
        refused.refuses_open = true;
        platform.addInterface(refused);
        platform.addInterface(sim::SimPlatform::TalvoInterface("talvo", talvo));
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(link.DevicePath, std::string("talvo"));
    }

    // On Linux every interface of a composite device opens, its keyboard
    // too: an interface of the right identifiers that no command fits is
    // passed over, and the listing says it is another interface.
    void interfacesNoCommandFitsArePassedOver_data() {
        QTest::addColumn<sim::SimInterface>("other");
        QTest::newRow("boot keyboard") << sim::SimPlatform::KeyboardInterface("other");
        sim::SimInterface numbered = sim::SimPlatform::KeyboardInterface("other");
        numbered.report_descriptor = NumberedTalvoDescriptor();
        QTest::newRow("numbered reports") << numbered;
    }
    void interfacesNoCommandFitsArePassedOver() {
        QFETCH(sim::SimInterface, other);
        sim::TalvoModel talvo;
        sim::SimPlatform platform;
        platform.addInterface(other);
        platform.addInterface(sim::SimPlatform::TalvoInterface("talvo", talvo));
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(link.DevicePath, std::string("talvo"));
        QCOMPARE(link.otherInterfacesPassed(), 1);
        QCOMPARE(platform.openHandles(), 2);

        const auto list = ListTalvoInterfaces(platform);
        QCOMPARE(list.size(), size_t(2));
        QVERIFY(IsOtherInterface(list[0]));
        QVERIFY(!IsOtherInterface(list[1]));
    }

    // The listing tells each TALVO-4 interface's reason apart, names no
    // other device, and never opens another device to learn its identifiers.
    void listingSaysWhyEachTalvoCannotBeOpened() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform;
        platform.addInterface(Other("kbd", 0x046D, 0xC52F));
        const std::vector<OpenRefusal> reasons{OpenRefusal::NoPermission, OpenRefusal::Busy,
                                               OpenRefusal::Gone, OpenRefusal::Other};
        for (size_t i = 0; i < reasons.size(); ++i) {
            auto refused = sim::SimPlatform::TalvoInterface("refused" + std::to_string(i), talvo);
            refused.refuses_open = true;
            refused.refusal = reasons[i];
            platform.addInterface(refused);
        }
        platform.addInterface(sim::SimPlatform::TalvoInterface("talvo", talvo));

        const auto list = ListTalvoInterfaces(platform);
        QCOMPARE(list.size(), reasons.size() + 1);
        for (size_t i = 0; i < reasons.size(); ++i) {
            QCOMPARE(list[i].path, "refused" + std::to_string(i));
            QCOMPARE(list[i].refusal, reasons[i]);
            QVERIFY(!list[i].capabilities);
        }
        QCOMPARE(list.back().refusal, OpenRefusal::None);
        QVERIFY(list.back().capabilities);
        QCOMPARE(list.back().capabilities->InputReportByteLength, 65);
        QCOMPARE(list.back().capabilities->OutputReportByteLength, 9);
        QCOMPARE(platform.opens("kbd"), 0);
        QCOMPARE(platform.openHandles(), 0);
        QCOMPARE(FirstWithoutPermission(list)->path, std::string("refused0"));

        // Discovery is not changed by the listing: it passes over all four.
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QCOMPARE(link.DevicePath, std::string("talvo"));
    }

    void readEventIsMadeOnce() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        QVERIFY(link.FindDevice());
        QCOMPARE(link.readEventsCreated(), 1);
        // A second discovery replaces the handles instead of leaking them.
        QCOMPARE(platform.openHandles(), 2);
    }

    void sendDiscoversTheDeviceWhenNotFound() {
        sim::SimPlatform absent;
        DeviceLink link(absent);
        link.SendCommand(0x13, 0x00, 0, 0, 0, 0, 0, 0);  // absent: nothing, no crash
        QVERIFY(!link.DeviceFound);

        sim::TalvoModel talvo;
        sim::SimPlatform present(talvo);
        DeviceLink late(present);
        late.SendCommand(0x13, 0x00, 0, 0, 0, 0, 0, 0);
        QVERIFY(late.DeviceFound);
        QCOMPARE(talvo.reports().size(), size_t(1));
    }

    void reportLayout_data() {
        QTest::addColumn<int>("output_bytes");
        QTest::newRow("exactly eight command bytes") << 8;
        QTest::newRow("longer output report") << 32;
    }
    void reportLayout() {
        QFETCH(int, output_bytes);
        sim::TalvoModel talvo;
        sim::SimPlatform platform;
        auto interface = sim::SimPlatform::TalvoInterface("talvo", talvo);
        interface.report_descriptor = DescriptorWithOutput(uint8_t(output_bytes));
        platform.addInterface(interface);
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        link.SendCommand(1, 2, 3, 4, 5, 6, 7, 8);
        const auto& bytes = talvo.reports().at(0).bytes;
        QCOMPARE(int(bytes.size()), output_bytes + 1);
        std::vector<uint8_t> expected(size_t(output_bytes) + 1, 0);
        for (int i = 1; i <= 8; ++i) expected[size_t(i)] = uint8_t(i);
        QCOMPARE(bytes, expected);
    }

    void outputReportTooShortForACommandIsNeverWritten() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform;
        auto interface = sim::SimPlatform::TalvoInterface("talvo", talvo);
        interface.report_descriptor = DescriptorWithOutput(7);
        platform.addInterface(interface);
        DeviceLink link(platform);
        QVERIFY(!link.FindDevice());
        link.SendCommand(0x13, 0x05, 0, 0, 0, 0, 0, 0);
        QVERIFY(talvo.reports().empty());
    }

    void leftoverCommandBytesTravelOn() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.CommandBytes = {0x11, 0x00, 0x2A, 0x5A, 0xAA, 0xBB, 0xCC, 0xDD};
        link.SendCommand();
        link.CommandBytes[0] = 0x13;
        link.CommandBytes[1] = 0x05;
        link.SendCommand();
        const CommandArray expected{0x13, 0x05, 0x2A, 0x5A, 0xAA, 0xBB, 0xCC, 0xDD};
        QCOMPARE(talvo.commands().at(1), expected);
    }

    void silentDeviceGivesZerosAfterTheWait() {
        sim::TalvoModel talvo;
        talvo.setSilent(true);
        talvo.clock.makeVirtual();
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.ResponseBuffer.reset(3);
        link.SendCommand(0x14, 0, 0, 0, 0, 0, 0, 0);
        const auto start = talvo.clock.now();
        link.ReadResponse();
        // The wait is bounded by one second; it must not return early either.
        const auto waited = talvo.clock.now() - start;
        QVERIFY(waited >= kResponseWait && waited < 2 * kResponseWait);
        QCOMPARE(int(link.ResponseBuffer.size()), 65);
        for (size_t i = 0; i < 65; ++i) QCOMPARE(int(link.ResponseBuffer[i]), 0);
    }

    // Answers queued before a command goes out are dropped: a late answer
    // is never read as the next command's.
    void answersQueuedBeforeASendAreDropped() {
        sim::TalvoModel talvo;
        talvo.clock.makeVirtual();
        talvo.setAnswerDelay(1500ms);
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.SendCommand(0x13, 0x05, 0, 0, 0, 0, 0, 0);
        link.ReadResponse();  // waits out its second; the answer comes later
        talvo.setAnswerDelay(0ms);
        talvo.clock.sleepFor(1000ms);
        link.SendCommand(0x13, 0x06, 0, 0, 0, 0, 0, 0);
        link.ReadResponse();
        QCOMPARE(int(link.ResponseBuffer[2]), 0x06);
        QCOMPARE(talvo.queuedAnswers(), size_t(0));
    }

    void lateAnswerBelongsToTheNextRead() {
        sim::TalvoModel talvo;
        talvo.setAnswerDelay(1500ms);
        talvo.clock.makeVirtual();
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.SendCommand(0x13, 0x07, 0, 0, 0, 0, 0, 0);
        link.ReadResponse();
        QCOMPARE(int(link.ResponseBuffer[1]), 0);
        link.ReadResponse();
        QCOMPARE(int(link.ResponseBuffer[2]), 0x07);
    }

    void shortReportsReadAsZerosPastTheirEnd() {
        sim::TalvoModel talvo;
        talvo.setInputDataLength(2);
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.SendCommand(0x13, 0x09, 0, 0, 0, 0, 0, 0);
        link.ReadResponse();
        QCOMPARE(int(link.ResponseBuffer[1]), 0x13);
        QCOMPARE(int(link.ResponseBuffer[2]), 0x09);
        QCOMPARE(int(link.ResponseBuffer[3]), 0);
        QCOMPARE(int(link.ResponseBuffer[100000]), 0);
    }

    void readBeforeAnyDeviceIsEmptyAndImmediate() {
        sim::SimPlatform platform;
        DeviceLink link(platform);
        link.ReadResponse();
        QCOMPARE(int(link.ResponseBuffer.size()), 0);
        QCOMPARE(int(link.ResponseBuffer[1]), 0);
    }

    void vanishedDeviceFailsSilently() {
        sim::TalvoModel talvo;
        talvo.vanishAfter(1);
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.SendCommand(0x13, 0x01, 0, 0, 0, 0, 0, 0);
        link.SendCommand(0x13, 0x02, 0, 0, 0, 0, 0, 0);
        QElapsedTimer timer;
        timer.start();
        link.ReadResponse();
        QVERIFY(timer.elapsed() < 900);  // a failed read does not wait out the second
        QVERIFY(link.DeviceFound);
        QCOMPARE(talvo.reports().size(), size_t(1));
    }

    void exclusiveHolderShutsOthersOut() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        {
            DeviceLink::Exclusive holder(link);
            holder.SendCommand(0x13, 0x01, 0, 0, 0, 0, 0, 0);
            holder.ReadResponse();
            QCOMPARE(int(link.ResponseBuffer[2]), 0x01);
            link.SendCommand(0x13, 0x02, 0, 0, 0, 0, 0, 0);  // another window's key
            // Zeros, never the holder's last answer.
            link.ReadResponse();
            QCOMPARE(link.ResponseBuffer.size(), size_t(65));
            QCOMPARE(int(link.ResponseBuffer[1]), 0);
            QCOMPARE(int(link.ResponseBuffer[2]), 0);
        }
        link.SendCommand(0x13, 0x03, 0, 0, 0, 0, 0, 0);
        QCOMPARE(talvo.reports().size(), size_t(2));
        QCOMPARE(link.heldOffCount(), 2);
    }

    // A report the device stalled is sent again, a bounded number of times;
    // one written to an unplugged node is not, and only that reads as lost.
    void writeErrors_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<int>("failing");
        QTest::addColumn<bool>("arrives");
        QTest::addColumn<bool>("lost");
        const int tries = DeviceLink::kWriteAttempts;
        QTest::newRow("one stall") << EPIPE << 1 << true << false;
        QTest::newRow("kernel time-out, then taken") << ETIMEDOUT << tries - 1 << true << false;
        QTest::newRow("bus error on every try") << EPROTO << tries << false << false;
        QTest::newRow("unplugged") << ENODEV << 1 << false << true;
        QTest::newRow("hung up") << EIO << 1 << false << true;
    }
    void writeErrors() {
        QFETCH(int, error);
        QFETCH(int, failing);
        QFETCH(bool, arrives);
        QFETCH(bool, lost);
        sim::TalvoModel talvo;
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        talvo.failWritesAfter(0, failing, error);
        link.SendCommand(0x13, 0x05, 0, 0, 0, 0, 0, 0);
        QCOMPARE(talvo.reports().size(), size_t(arrives ? 1 : 0));
        QCOMPARE(link.deviceLost(), lost);
        QCOMPARE(link.writeFailed(), !arrives && !lost);
        QCOMPARE(link.health().last_write_error, error);
        const std::optional<Ending> expected =
            arrives ? std::nullopt : std::optional(lost ? Ending::DeviceLost : Ending::WriteFailed);
        QCOMPARE(EndingOnTrouble(link, OnDeviceLost::End), expected);
        QCOMPARE(EndingOnTrouble(link, OnDeviceLost::GoOn), std::nullopt);
    }

    void closedDeviceIsNotReopened() {
        sim::TalvoModel talvo;
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        link.FindDevice();
        link.CloseDevice();
        QCOMPARE(platform.openHandles(), 0);
        link.SendCommand(0x13, 0x01, 0, 0, 0, 0, 0, 0);
        QVERIFY(talvo.reports().empty());
        QCOMPARE(platform.opens("sim:talvo-4"), 2);
    }
};

TALVO_TEST_GUILESS_MAIN(DeviceLinkTest)
#include "device_link_test.moc"
