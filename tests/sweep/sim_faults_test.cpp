// The simulated device's scripted answers, its falling silent and its
// virtual clock, seen through the device link as the sequences see them.

#include "tests/support/test_main.h"

#include "device/device_link.h"
#include "sim/sim_pacer.h"
#include "sim/sim_platform.h"

using namespace talvo;
using namespace std::chrono_literals;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(talvo::sim::LinkSpeed)

namespace {

struct Rig {
    Rig() {
        talvo.clock.makeVirtual();
        link.FindDevice();
    }
    // One remote key: the device owes exactly one answer.
    ReadOutcome exchange() {
        link.SendCommand(0x13, 0x01, 0, 0, 0, 0, 0, 0);
        link.ReadResponse();
        return link.health().last_read;
    }
    ReadOutcome readOnly() {
        link.ReadResponse();
        return link.health().last_read;
    }
    sim::TalvoModel talvo;
    sim::SimPlatform platform{talvo};
    DeviceLink link{platform};
};

Bytes Data(const DeviceLink& link) {
    Bytes data;
    for (size_t i = 1; i < link.ResponseBuffer.size(); ++i) data.push_back(link.ResponseBuffer[i]);
    return data;
}

Bytes Padded(Bytes leading) {
    leading.resize(64, 0);
    return leading;
}

}  // namespace

class SimFaultsTest : public QObject {
    Q_OBJECT
  private slots:
    void scriptedReport_data() {
        QTest::addColumn<Bytes>("script");
        QTest::addColumn<bool>("arrives");
        QTest::addColumn<Bytes>("data");  // data bytes 1 to 64 after the read
        Bytes full(65);
        full[0] = 64;
        for (size_t i = 1; i < full.size(); ++i) full[i] = uint8_t(0xFF - i);
        QTest::newRow("no data bytes") << Bytes{0} << true << Padded({});
        QTest::newRow("two data bytes") << Bytes{2, 0xAA, 0xBB} << true << Padded({0xAA, 0xBB});
        QTest::newRow("all 64") << full << true << Bytes(full.begin() + 1, full.end());
        QTest::newRow("65: lost") << Bytes{65, 1, 2} << false << Padded({});
        QTest::newRow("127: lost") << Bytes{127} << false << Padded({});
        QTest::newRow("script ends in the header") << Bytes{} << false << Padded({});
        QTest::newRow("script ends in the data") << Bytes{3, 1, 2} << false << Padded({});
    }
    void scriptedReport() {
        QFETCH(Bytes, script);
        QFETCH(bool, arrives);
        QFETCH(Bytes, data);
        Rig rig;
        rig.talvo.scriptAnswers(sim::BytesSource(script));
        const auto before = rig.talvo.clock.now();
        QCOMPARE(rig.exchange(), arrives ? ReadOutcome::Completed : ReadOutcome::TimedOut);
        QCOMPARE(Data(rig.link), data);
        // A report that never comes costs the read's whole wait, in virtual time.
        QCOMPARE(rig.talvo.clock.now() - before, arrives ? 0ms : kResponseWait);
    }

    void scriptedExtraReportsQueueUp() {
        Rig rig;
        rig.talvo.scriptAnswers(sim::BytesSource({0x81, 0x11, 1, 0x22, 1, 0x33}));
        QCOMPARE(rig.exchange(), ReadOutcome::Completed);
        QCOMPARE(int(rig.link.ResponseBuffer[1]), 0x11);
        QCOMPARE(rig.readOnly(), ReadOutcome::Completed);  // not asked for, still there
        QCOMPARE(int(rig.link.ResponseBuffer[1]), 0x22);
        QCOMPARE(rig.exchange(), ReadOutcome::Completed);
        QCOMPARE(int(rig.link.ResponseBuffer[1]), 0x33);
        // Dry: silent for good, and the link counts it as lost after three.
        for (int i = 0; i < DeviceLink::kSilentReadsForLost; ++i)
            QCOMPARE(rig.exchange(), ReadOutcome::TimedOut);
        QVERIFY(rig.link.deviceLost());
        QCOMPARE(rig.talvo.reports().size(), size_t(5));
        QCOMPARE(rig.talvo.readsAsked(), 6);
        QCOMPARE(rig.talvo.readsServed(), 3);
    }

    void silentAfterAnswersOnlyTheFirstReports() {
        Rig rig;
        rig.talvo.silentAfter(2);
        QCOMPARE(rig.exchange(), ReadOutcome::Completed);
        rig.link.SendCommand(0x13, 0x02, 0, 0, 0, 0, 0, 0);  // the last report it answers
        QCOMPARE(rig.readOnly(), ReadOutcome::Completed);
        QCOMPARE(int(rig.link.ResponseBuffer[2]), 0x02);
        QCOMPARE(rig.exchange(), ReadOutcome::TimedOut);
        QCOMPARE(rig.talvo.reports().size(), size_t(3));  // writes still go through
        QVERIFY(!rig.link.deviceLost());
        QCOMPARE(rig.exchange(), ReadOutcome::TimedOut);
        QCOMPARE(rig.exchange(), ReadOutcome::TimedOut);
        QVERIFY(rig.link.deviceLost());
        QVERIFY(!rig.talvo.vanished());
    }

    void silentAfterZeroIsSilentAtOnce() {
        Rig rig;
        rig.talvo.silentAfter(0);
        QCOMPARE(rig.exchange(), ReadOutcome::TimedOut);
        QVERIFY(rig.talvo.silent());
    }

    void pacerMovesTheDeviceClock() {
        Rig rig;
        sim::SimPacer pacer(rig.talvo.clock);
        const auto start = pacer.now();
        QVERIFY(pacer.waitTicks(3));
        QVERIFY(pacer.waitTicks(0));
        QVERIFY(pacer.pass());
        QCOMPARE(pacer.now() - start, 3 * kMainTick);
        sim::SimPacer capture_pacer(rig.talvo.clock, kCaptureTick);
        QVERIFY(capture_pacer.waitTicks(4));
        QCOMPARE(pacer.now() - start, 3 * kMainTick + 4 * kCaptureTick);
        QCOMPARE(pacer.waits(), 2);
        QCOMPARE(pacer.passes(), 1);
    }

    void resetGivesAFreshDevice() {
        Rig rig;
        rig.talvo.scriptAnswers(sim::BytesSource({}));
        rig.talvo.setAnswerDelay(400ms);
        rig.talvo.rom.failWriteAt(0xE8000);
        rig.link.SendCommand(0x05, 0, 0x00, 0x80, 0x0E, 0x55, 0xAA, 0x55);  // a block erased
        rig.talvo.vanishAfter(0);
        rig.talvo.reset();
        const sim::TalvoModel fresh;
        QCOMPARE(rig.talvo.rom.contents(), fresh.rom.contents());
        QCOMPARE(rig.talvo.rom.blockErases(), 0);
        QVERIFY(!rig.talvo.vanished() && !rig.talvo.silent() && !rig.talvo.clock.isVirtual());
        QVERIFY(rig.talvo.reports().empty());
        QCOMPARE(rig.talvo.readsAsked(), 0);
        // It answers at once again, with its own answers.
        rig.talvo.clock.makeVirtual();
        const auto before = rig.talvo.clock.now();
        QCOMPARE(rig.exchange(), ReadOutcome::Completed);
        QCOMPARE(int(rig.link.ResponseBuffer[1]), 0x13);
        QCOMPARE(rig.talvo.clock.now(), before);
    }

    // At usb speed a report takes a 1 ms frame each way: a key and its
    // answer two frames, a line of three reports its request's frame and
    // one frame for each of them.
    void linkSpeedPacesReports_data() {
        QTest::addColumn<sim::LinkSpeed>("speed");
        QTest::addColumn<int>("exchange_ms");
        QTest::addColumn<int>("line_ms");
        QTest::newRow("instant") << sim::LinkSpeed::Instant << 0 << 0;
        QTest::newRow("usb") << sim::LinkSpeed::Usb << 2 << 4;
    }
    void linkSpeedPacesReports() {
        QFETCH(sim::LinkSpeed, speed);
        QFETCH(int, exchange_ms);
        QFETCH(int, line_ms);
        Rig rig;
        rig.talvo.setLinkSpeed(speed);
        rig.exchange();  // from here on the clock stands on a frame's end
        auto before = rig.talvo.clock.now();
        QCOMPARE(rig.exchange(), ReadOutcome::Completed);
        QCOMPARE(rig.talvo.clock.now() - before, std::chrono::milliseconds(exchange_ms));
        before = rig.talvo.clock.now();
        rig.link.SendCommand(0x15, 3, 0, 0, 0, 0, 0, 0);
        for (int report = 0; report < 3; ++report) QCOMPARE(rig.readOnly(), ReadOutcome::Completed);
        QCOMPARE(rig.talvo.clock.now() - before, std::chrono::milliseconds(line_ms));
    }

    // A wait that outlasts a late answer takes it; the clock stops there.
    void lateAnswerArrivesInVirtualTime() {
        Rig rig;
        rig.talvo.setAnswerDelay(400ms);
        const auto before = rig.talvo.clock.now();
        QCOMPARE(rig.exchange(), ReadOutcome::Completed);
        QCOMPARE(rig.talvo.clock.now() - before, 400ms);
    }
};

TALVO_TEST_GUILESS_MAIN(SimFaultsTest)
#include "sim_faults_test.moc"
