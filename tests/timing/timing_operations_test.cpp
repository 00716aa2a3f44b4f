// The timing sequences run without a window, as the terminal tool runs them:
// what they send, where they pause, and how each of them ends. The device's
// clock is virtual: a pause or a read that waits out its second costs no
// real time, and the time between reports shows the ticks waited.

#include <QTemporaryDir>
#include <QTest>

#include "sim/sim_pacer.h"
#include "sim/sim_platform.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"
#include "timing/timing_commands.h"
#include "timing/timing_operations.h"

using namespace talvo;
using namespace talvo::testing;

Q_DECLARE_METATYPE(talvo::TimingDetail)
Q_DECLARE_METATYPE(talvo::Ending)
Q_DECLARE_METATYPE(talvo::OnDeviceLost)

namespace {

// More reports than a read-back and a load together (31).
constexpr size_t kReportBound = 100;

struct Fixture {
    Fixture() {
        talvo.clock.makeVirtual();
        QVERIFY(link.FindDevice());
        forget();
    }
    // Enters timing mode and forgets what that sent.
    void start() {
        QCOMPARE(StartTimingMode(link, timing, frontEnd()).detail, TimingDetail::Ok);
        forget();
    }
    void forget() {
        talvo.clearRecord();
        since = talvo.clock.now();
    }
    // A sequence that runs away fails its test by name and is stopped at its
    // next pause.
    FrontEnd frontEnd(StopRequest stop = {}, OnDeviceLost on_lost = OnDeviceLost::GoOn) {
        return {pacer,
                [this, stop] {
                    if (talvo.reports().size() <= kReportBound) return stop && stop();
                    QTest::qFail("a timing sequence sends without end", __FILE__, __LINE__);
                    return true;
                },
                on_lost};
    }
    // The codes the device received, with the ticks that passed before each
    // and after the last ("w3").
    std::vector<std::string> traffic() const {
        std::vector<std::string> log;
        sim::Clock::time_point last = since;
        auto waited = [&](sim::Clock::time_point until) {
            if (const auto ticks = (until - last) / kMainTick; ticks > 0)
                log.push_back("w" + std::to_string(ticks));
            last = until;
        };
        for (const sim::RecordedReport& report : talvo.reports()) {
            waited(report.time);
            char code[3];
            std::snprintf(code, sizeof code, "%02X", unsigned(report.command()[0]));
            log.push_back(code);
        }
        waited(talvo.clock.now());
        return log;
    }

    sim::TalvoModel talvo;
    sim::SimPlatform platform{talvo};
    DeviceLink link{platform};
    sim::SimPacer pacer{talvo.clock};
    TimingState timing;
    sim::Clock::time_point since;
};

std::vector<std::string> Repeat(const std::vector<std::string>& part, int times) {
    std::vector<std::string> all;
    for (int i = 0; i < times; ++i) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const TimingParameter& Parameter(const QString& name) {
    return kTimingParameters[size_t(TimingParameterIndex(name.toStdString()))];
}

enum class Sequence { Start, Load, Write, Leave };

TimingOutcome Run(Fixture& f, Sequence sequence, const FrontEnd& front_end) {
    switch (sequence) {
        case Sequence::Start:
            return StartTimingMode(f.link, f.timing, front_end);
        case Sequence::Load:
            return LoadTimingData(f.link, f.timing, std::nullopt, front_end);
        case Sequence::Write:
            return WriteTimingParameter(f.link, f.timing, Parameter("hst"), 3, front_end.on_lost);
        case Sequence::Leave:
            return LeaveTimingMode(f.link, front_end.on_lost);
    }
    return {};
}

}  // namespace

Q_DECLARE_METATYPE(Sequence)

class TimingOperationsTest : public QObject {
    Q_OBJECT
  private slots:
    void startReadsTheBlockWithAPauseAfterEachRead() {
        Fixture f;
        f.talvo.timing.setBase(0x31);
        f.talvo.timing.setPage(0x77);
        QVERIFY(StartTimingMode(f.link, f.timing, f.frontEnd()).done());
        QCOMPARE(f.traffic(), (std::vector<std::string>{"0F"} + Repeat({"10", "w3"}, 10)));
        const auto sent = f.talvo.commands();
        for (size_t i = 0; i < 10; ++i) QCOMPARE(sent[1 + i][2], uint8_t(0x31 + 8 * i));
        QCOMPARE(f.timing.timing_page, uint8_t(0x77));
        const auto& block = f.talvo.timing.block();
        QVERIFY(std::equal(block.begin(), block.end(), f.timing.timing_image.begin()));
    }

    void startKeepsOffABlockItCannotAddress() {
        Fixture f;
        f.talvo.timing.setBase(kHighestTimingBase + 1);
        f.timing.timing_image.fill(0xEE);
        const TimingImage before = f.timing.timing_image;
        QCOMPARE(StartTimingMode(f.link, f.timing, f.frontEnd()).detail,
                 TimingDetail::BlockUnreachable);
        QCOMPARE(f.timing.timing_base, uint8_t(kHighestTimingBase + 1));
        // Nor can anything be written to it afterwards.
        QCOMPARE(WriteTimingParameter(f.link, f.timing, Parameter("h2pos"), 5).detail,
                 TimingDetail::BlockUnreachable);
        QCOMPARE(LoadTimingData(f.link, f.timing, std::nullopt, f.frontEnd()).detail,
                 TimingDetail::BlockUnreachable);
        QCOMPARE(f.traffic(), (std::vector<std::string>{"0F"}));
        QCOMPARE(f.timing.timing_image, before);
    }

    // The front end going away, or asking to stop, ends the read-back or the
    // load at the pause where it is noticed: nothing of the next report is
    // put together, and a load neither shows the image nor closes.
    void sequencesEndWhereTheirFrontEndSays_data() {
        QTest::addColumn<Sequence>("sequence");
        QTest::addColumn<bool>("gone");  // else stopped
        QTest::addColumn<std::vector<std::string>>("traffic");
        const auto reads = std::vector<std::string>{"0F"} + Repeat({"10", "w3"}, 4);
        const auto groups = Repeat({"11", "w3"}, 4);
        QTest::newRow("read-back, front end gone") << Sequence::Start << true << reads;
        QTest::newRow("read-back, stopped") << Sequence::Start << false << reads;
        QTest::newRow("load, front end gone") << Sequence::Load << true << groups;
        QTest::newRow("load, stopped") << Sequence::Load << false << groups;
    }
    void sequencesEndWhereTheirFrontEndSays() {
        QFETCH(Sequence, sequence);
        QFETCH(bool, gone);
        QFETCH(std::vector<std::string>, traffic);
        Fixture f;
        if (sequence == Sequence::Load) f.start();
        int stop_asked = 0;
        if (gone) f.pacer.leaveAt(sim::SimPacer::Turn::Wait, f.pacer.waits() + 4);
        StopRequest stop = [&] { return !gone && ++stop_asked == 4; };
        bool shown = false;
        const TimingOutcome outcome =
            sequence == Sequence::Start
                ? StartTimingMode(f.link, f.timing, f.frontEnd(stop))
                : LoadTimingData(f.link, f.timing, std::nullopt, f.frontEnd(stop),
                                 {[&shown] { shown = true; }});
        QCOMPARE(outcome.ending, gone ? Ending::FrontEndGone : Ending::Stopped);
        QCOMPARE(f.traffic(), traffic);
        QCOMPARE(f.link.CommandBytes, f.talvo.commands().back());
        QVERIFY(!shown);
    }

    // What the window's bars cannot ask for, a typed value can; a value
    // differing in any of its bytes is written.
    void writes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("value");
        QTest::addColumn<TimingDetail>("detail");
        QTest::newRow("12-bit top") << "v2size" << 0 << 4095 << TimingDetail::Ok;
        QTest::newRow("12-bit past the top")
            << "v2size" << 0 << 4096 << TimingDetail::ValueOutOfRange;
        QTest::newRow("8-bit top") << "vsw" << 0 << 255 << TimingDetail::Ok;
        QTest::newRow("8-bit past the top")
            << "clamp_start" << 0 << 256 << TimingDetail::ValueOutOfRange;
        QTest::newRow("negative") << "hst" << 0 << -1 << TimingDetail::ValueOutOfRange;
        QTest::newRow("the value the image holds")
            << "h2size" << 300 << 300 << TimingDetail::Unchanged;
        QTest::newRow("low byte alone differs") << "h2size" << 0x12C << 0x12D << TimingDetail::Ok;
        QTest::newRow("high byte alone differs") << "h2size" << 0x12C << 0x22C << TimingDetail::Ok;
    }
    void writes() {
        QFETCH(QString, name);
        QFETCH(int, before);
        QFETCH(int, value);
        QFETCH(TimingDetail, detail);
        Fixture f;
        f.start();
        const TimingParameter& p = Parameter(name);
        StoreValue(f.timing.timing_image, p, before);
        const TimingImage image_before = f.timing.timing_image;
        const TimingOutcome outcome = WriteTimingParameter(f.link, f.timing, p, value);
        QVERIFY(outcome.done());
        QCOMPARE(outcome.detail, detail);
        if (detail != TimingDetail::Ok) {
            QCOMPARE(f.timing.timing_image, image_before);
            QVERIFY(f.traffic().empty());
            return;
        }
        QCOMPARE(f.traffic(), (std::vector<std::string>{"11", "12"}));
        // The device holds the group as the image does.
        const size_t k = size_t(p.offset);
        for (size_t i = k; i < k + 4; ++i)
            QCOMPARE(f.talvo.timing.block()[i], f.timing.timing_image[i]);
    }

    void loadWritesNineteenGroupsThenShowsThenCloses() {
        Fixture f;
        f.start();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QByteArray bytes(257, '\0');
        for (int i = 0; i < 256; ++i) bytes[i] = char(255 - i);
        const QString path = dir.filePath(QStringLiteral("t.bin"));
        QVERIFY(WriteFile(path, bytes));
        size_t shown_after = 0;
        TimingLoadObserver observer{[&] { shown_after = f.talvo.reports().size(); }};
        QVERIFY(LoadTimingData(f.link, f.timing, path, f.frontEnd(), observer).done());
        QCOMPARE(f.traffic(), (Repeat({"11", "w3"}, 19) + std::vector<std::string>{"12"}));
        QCOMPARE(shown_after, size_t(19));
        const CommandArray close{0x12,     0x00,     0x20 + 72, 0x5A,
                                 255 - 72, 255 - 73, 255 - 74,  255 - 75};
        QCOMPARE(f.talvo.commands().back(), close);
        QCOMPARE(f.timing.timing_image[255], uint8_t(0));
    }

    void loadOfAnUnusableFileSendsNothing_data() {
        QTest::addColumn<int>("length");  // -1: no such file
        QTest::newRow("255 bytes") << 255;
        QTest::newRow("missing") << -1;
    }
    void loadOfAnUnusableFileSendsNothing() {
        QFETCH(int, length);
        Fixture f;
        f.start();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("short.bin"));
        if (length >= 0) QVERIFY(WriteFile(path, QByteArray(length, '\x7F')));
        bool shown = false;
        const TimingImage before = f.timing.timing_image;
        QCOMPARE(LoadTimingData(f.link, f.timing, path, f.frontEnd(), {[&shown] { shown = true; }})
                     .detail,
                 TimingDetail::FileError);
        QVERIFY(!shown);
        QVERIFY(f.traffic().empty());
        QCOMPARE(f.timing.timing_image, before);
    }

    // The terminal tool ends a sequence as soon as the device is lost; the
    // windows carry on as they always have.
    void aVanishedDeviceEndsTheSequenceWhenAskedTo_data() {
        QTest::addColumn<Sequence>("sequence");
        QTest::addColumn<int>("vanishAfter");  // reports the device still takes
        QTest::addColumn<OnDeviceLost>("onLost");
        QTest::addColumn<int>("pausesWhenEnded");  // -1: it did not end
        // Without the mode's answer there is no page to read or write: that
        // read-back ends under either setting.
        const struct {
            const char* name;
            Sequence sequence;
            int vanish_after, pauses, pauses_going_on;
        } rows[] = {{"read-back, at the mode report", Sequence::Start, 0, 0, 0},
                    {"read-back, at the third read", Sequence::Start, 4, 2, -1},
                    {"load, at the fifth group", Sequence::Load, 5, 4, -1},
                    {"write, at the group", Sequence::Write, 1, 0, -1}};
        for (const auto& row : rows) {
            QTest::addRow("%s, ends", row.name)
                << row.sequence << row.vanish_after << OnDeviceLost::End << row.pauses;
            QTest::addRow("%s, goes on", row.name)
                << row.sequence << row.vanish_after << OnDeviceLost::GoOn << row.pauses_going_on;
        }
    }
    void aVanishedDeviceEndsTheSequenceWhenAskedTo() {
        QFETCH(Sequence, sequence);
        QFETCH(int, vanishAfter);
        QFETCH(OnDeviceLost, onLost);
        QFETCH(int, pausesWhenEnded);
        Fixture f;
        if (sequence != Sequence::Start) f.start();
        const int waits_before = f.pacer.waits();
        f.talvo.vanishAfter(vanishAfter);
        const TimingOutcome outcome = Run(f, sequence, f.frontEnd({}, onLost));
        QCOMPARE(int(f.talvo.commands().size()), vanishAfter);
        QCOMPARE(outcome.ending, pausesWhenEnded < 0 ? Ending::Done : Ending::DeviceLost);
        if (pausesWhenEnded >= 0) QCOMPARE(f.pacer.waits() - waits_before, pausesWhenEnded);
    }

    // Three reads in a row that wait out their whole second: silent.
    void aSilentDeviceEndsTheReadBackAfterThreeReads() {
        Fixture f;
        f.talvo.silentAfter(2);  // the mode report and the first read are answered
        QCOMPARE(StartTimingMode(f.link, f.timing, f.frontEnd({}, OnDeviceLost::End)).ending,
                 Ending::DeviceSilent);
        QCOMPARE(f.talvo.clock.now() - f.since,
                 3 * kResponseWait + 3 * kTimingPauseTicks * kMainTick);
        QCOMPARE(f.pacer.waits(), 3);
        QCOMPARE(f.talvo.commands().size(), size_t(5));
        QCOMPARE(LeaveTimingMode(f.link, OnDeviceLost::End).ending, Ending::DeviceSilent);
    }

    // A mode answer that comes after its wait leaves base and page unknown:
    // the read-back ends there, for the windows too, and never reads or
    // writes page 0; the late answer is not taken for the next report's.
    void aLateModeAnswerEndsTheReadBack_data() {
        QTest::addColumn<OnDeviceLost>("onLost");
        QTest::newRow("terminal") << OnDeviceLost::End;
        QTest::newRow("window") << OnDeviceLost::GoOn;
    }
    void aLateModeAnswerEndsTheReadBack() {
        QFETCH(OnDeviceLost, onLost);
        Fixture f;
        f.talvo.setAnswerDelay(std::chrono::milliseconds(1100));
        QCOMPARE(StartTimingMode(f.link, f.timing, f.frontEnd({}, onLost)).ending,
                 Ending::DeviceSilent);
        QCOMPARE(f.talvo.commands().size(), size_t(1));
        f.talvo.setAnswerDelay({});
        f.talvo.clock.sleepFor(kResponseWait);
        QVERIFY(LeaveTimingMode(f.link, onLost).done());
        QCOMPARE(f.link.ResponseBuffer[1], uint8_t(0x0F));
    }

    // While a ROM write holds the device every report would be dropped and
    // every answer read as zeros: nothing is even tried.
    void everySequenceRefusesWhileTheLinkIsHeld_data() {
        QTest::addColumn<Sequence>("sequence");
        QTest::newRow("read-back") << Sequence::Start;
        QTest::newRow("write") << Sequence::Write;
        QTest::newRow("load") << Sequence::Load;
        QTest::newRow("leave") << Sequence::Leave;
    }
    void everySequenceRefusesWhileTheLinkIsHeld() {
        QFETCH(Sequence, sequence);
        Fixture f;
        f.start();
        const TimingState before = f.timing;
        DeviceLink::Exclusive rom_write(f.link);
        QCOMPARE(Run(f, sequence, f.frontEnd()).ending, Ending::DeviceBusy);
        QCOMPARE(f.link.heldOffCount(), 0);
        QCOMPARE(f.timing.timing_image, before.timing_image);
        QCOMPARE(f.timing.timing_base, before.timing_base);
    }

    void saveWritesTheImageAndReportsAFailure() {
        Fixture f;
        QTemporaryDir dir;
        f.timing.timing_image[10] = 0x2D;
        const QString path = dir.filePath(QStringLiteral("ombrix3_syc.bin"));
        QCOMPARE(SaveTimingData(f.timing, path).detail, TimingDetail::Ok);
        QCOMPARE(uint8_t(ReadFile(path)[10]), uint8_t(0x2D));
        QCOMPARE(SaveTimingData(f.timing, dir.filePath(QStringLiteral("no/such.bin"))).detail,
                 TimingDetail::FileError);
        QVERIFY(f.talvo.commands().empty());
    }
};

TALVO_TEST_GUILESS_MAIN(TimingOperationsTest)
#include "timing_operations_test.moc"
