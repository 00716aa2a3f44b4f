// The timing sequences run without a window, as the terminal tool runs them:
// what they send, where they pause, and how each of them ends.

#include <QTemporaryDir>
#include <QTest>

#include "tests/support/rig.h"
#include "tests/support/test_main.h"
#include "timing/timing_operations.h"

using namespace talvo;
using namespace talvo::testing;

Q_DECLARE_METATYPE(talvo::TimingOutcome)

namespace {

// Notes each pause among the reports ("w3" for three ticks) and ends the
// sequence at the pause numbered `gone_at` (from 1), if set. A sequence that
// runs away ends at its next pause and fails its test by name: one that
// pauses far more often than a read-back and a load together (29), or whose
// read waited out its second on a device that answers at once.
class LoggingPacer : public Pacer {
  public:
    static constexpr int kPauseBound = 100;
    LoggingPacer(sim::TalvoModel& talvo, const DeviceLink& link, std::vector<std::string>& log)
        : talvo_(talvo), log_(log) {
        talvo.on_report = [this, &link](const sim::RecordedReport& r) {
            char code[8];
            std::snprintf(code, sizeof code, "%02X", unsigned(r.command()[0]));
            log_.push_back(code);
            if (!silence_expected && link.health().last_read == ReadOutcome::TimedOut)
                runAway("a read waited for an answer the device never owed");
        };
    }
    ~LoggingPacer() { talvo_.on_report = nullptr; }
    bool waitTicks(int ticks) override {
        log_.push_back("w" + std::to_string(ticks));
        if (++waits_ > kPauseBound) runAway("a timing sequence pauses without end");
        return !ran_away_ && waits_ != gone_at;
    }
    bool pass() override { return !ran_away_; }

    int gone_at = -1;
    bool silence_expected = false;
    void restart() { waits_ = 0; }

  private:
    void runAway(const char* why) {
        if (!ran_away_) QTest::qFail(why, __FILE__, __LINE__);
        ran_away_ = true;
    }

    sim::TalvoModel& talvo_;
    std::vector<std::string>& log_;
    int waits_ = 0;
    bool ran_away_ = false;
};

struct Bench {
    Bench() : pacer(rig.talvo, rig.link, log) { QVERIFY(rig.link.FindDevice()); }
    TimingState& timing() { return rig.program.timing; }
    // Enters timing mode and forgets what that sent.
    void start() {
        QCOMPARE(StartTimingMode(rig.link, timing(), pacer), TimingOutcome::Done);
        rig.talvo.clearRecord();
        log.clear();
        pacer.restart();
    }

    Rig rig;
    std::vector<std::string> log;
    LoggingPacer pacer;
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

const TimingParameter& Parameter(const char* name) {
    return kTimingParameters[size_t(TimingParameterIndex(name))];
}

}  // namespace

class TimingOperationsTest : public QObject {
    Q_OBJECT
  private slots:
    void startReadsTheBlockWithAPauseAfterEachRead() {
        Bench b;
        b.rig.talvo.timing.setBase(0x31);
        b.rig.talvo.timing.setPage(0x77);
        QCOMPARE(StartTimingMode(b.rig.link, b.timing(), b.pacer), TimingOutcome::Done);
        QCOMPARE(b.log, (std::vector<std::string>{"0F"} + Repeat({"10", "w3"}, 10)));
        const auto sent = b.rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(11));
        for (size_t i = 0; i < 10; ++i) QCOMPARE(sent[1 + i][2], uint8_t(0x31 + 8 * i));
        QCOMPARE(b.timing().timing_page, uint8_t(0x77));
        const auto& block = b.rig.talvo.timing.block();
        QVERIFY(std::equal(block.begin(), block.end(), b.timing().timing_image.begin()));
    }

    void startKeepsOffABlockItCannotAddress_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<TimingOutcome>("outcome");
        QTest::newRow("183: offset 72 at 255") << 183 << TimingOutcome::Done;
        QTest::newRow("184 would wrap") << 184 << TimingOutcome::BlockUnreachable;
        QTest::newRow("255") << 255 << TimingOutcome::BlockUnreachable;
    }
    void startKeepsOffABlockItCannotAddress() {
        QFETCH(int, base);
        QFETCH(TimingOutcome, outcome);
        Bench b;
        b.rig.talvo.timing.setBase(uint8_t(base));
        b.timing().timing_image.fill(0xEE);
        QCOMPARE(StartTimingMode(b.rig.link, b.timing(), b.pacer), outcome);
        QCOMPARE(b.timing().timing_base, uint8_t(base));
        if (outcome == TimingOutcome::Done) return;
        QCOMPARE(b.log, (std::vector<std::string>{"0F"}));
        for (uint8_t byte : b.timing().timing_image) QCOMPARE(byte, uint8_t(0xEE));
        // Nor can anything be written to it afterwards.
        QCOMPARE(WriteTimingParameter(b.rig.link, b.timing(), Parameter("h2pos"), 5),
                 TimingOutcome::BlockUnreachable);
        QCOMPARE(LoadTimingData(b.rig.link, b.timing(), std::nullopt, b.pacer),
                 TimingOutcome::BlockUnreachable);
        QCOMPARE(b.rig.talvo.commands().size(), size_t(1));
    }

    // The front end going away, or asking to stop, ends the read-back at the
    // pause where it is noticed; nothing of the next read is put together.
    void startEndsWhereItsFrontEndSays() {
        for (const bool gone : {true, false}) {
            Bench b;
            int stop_asked = 0;
            StopRequest stop = [&] { return !gone && ++stop_asked == 4; };
            if (gone) b.pacer.gone_at = 4;
            QCOMPARE(StartTimingMode(b.rig.link, b.timing(), b.pacer, stop),
                     gone ? TimingOutcome::FrontEndGone : TimingOutcome::Stopped);
            QCOMPARE(b.log, (std::vector<std::string>{"0F"} + Repeat({"10", "w3"}, 4)));
            QCOMPARE(b.rig.link.CommandBytes[2], uint8_t(0x20 + 24));
        }
    }

    // What the window's bars cannot ask for, a typed value can.
    void valuesOutsideTheRangeAreRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("value");
        QTest::addColumn<TimingOutcome>("outcome");
        QTest::newRow("12-bit top") << "v2size" << 4095 << TimingOutcome::Done;
        QTest::newRow("12-bit past the top") << "v2size" << 4096 << TimingOutcome::ValueOutOfRange;
        QTest::newRow("8-bit top") << "vsw" << 255 << TimingOutcome::Done;
        QTest::newRow("8-bit past the top")
            << "clamp_start" << 256 << TimingOutcome::ValueOutOfRange;
        QTest::newRow("negative") << "hst" << -1 << TimingOutcome::ValueOutOfRange;
    }
    void valuesOutsideTheRangeAreRefused() {
        QFETCH(QString, name);
        QFETCH(int, value);
        QFETCH(TimingOutcome, outcome);
        Bench b;
        b.start();
        const TimingParameter& p = Parameter(name.toLatin1().constData());
        const TimingImage before = b.timing().timing_image;
        QCOMPARE(WriteTimingParameter(b.rig.link, b.timing(), p, value), outcome);
        if (outcome != TimingOutcome::Done) {
            QCOMPARE(b.timing().timing_image, before);
            QVERIFY(b.log.empty());
            return;
        }
        QCOMPARE(b.log, (std::vector<std::string>{"11", "12"}));
        // The same value again is already there.
        QCOMPARE(WriteTimingParameter(b.rig.link, b.timing(), p, value), TimingOutcome::Unchanged);
        QCOMPARE(b.log.size(), size_t(2));
    }

    void loadWritesNineteenGroupsThenShowsThenCloses() {
        Bench b;
        b.start();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QByteArray bytes(257, '\0');
        for (int i = 0; i < 256; ++i) bytes[i] = char(255 - i);
        const QString path = dir.filePath(QStringLiteral("t.bin"));
        QVERIFY(WriteFile(path, bytes));
        TimingLoadObserver observer{[&b] { b.log.push_back("shown"); }};
        QCOMPARE(LoadTimingData(b.rig.link, b.timing(), path, b.pacer, observer),
                 TimingOutcome::Done);
        QCOMPARE(b.log, (Repeat({"11", "w3"}, 19) + std::vector<std::string>{"shown", "12"}));
        const auto sent = b.rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(20));
        const CommandArray close{0x12,     0x00,     0x20 + 72, 0x5A,
                                 255 - 72, 255 - 73, 255 - 74,  255 - 75};
        QCOMPARE(sent.back(), close);
        QCOMPARE(b.timing().timing_image[255], uint8_t(0));
    }

    void loadOfAnUnusableFileSendsNothing() {
        Bench b;
        b.start();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("short.bin"));
        QVERIFY(WriteFile(path, QByteArray(255, '\x7F')));
        bool shown = false;
        const TimingImage before = b.timing().timing_image;
        for (const QString& file : {path, dir.filePath(QStringLiteral("missing.bin"))}) {
            QCOMPARE(
                LoadTimingData(b.rig.link, b.timing(), file, b.pacer, {[&shown] { shown = true; }}),
                TimingOutcome::FileError);
        }
        QVERIFY(!shown);
        QVERIFY(b.log.empty());
        QCOMPARE(b.timing().timing_image, before);
    }

    // A load ended part way leaves out the closing report and the showing.
    void loadEndsWhereItsFrontEndSays() {
        for (const bool gone : {true, false}) {
            Bench b;
            b.start();
            bool shown = false;
            int stop_asked = 0;
            StopRequest stop = [&] { return !gone && ++stop_asked == 2; };
            if (gone) b.pacer.gone_at = 2;
            QCOMPARE(LoadTimingData(b.rig.link, b.timing(), std::nullopt, b.pacer,
                                    {[&shown] { shown = true; }}, stop),
                     gone ? TimingOutcome::FrontEndGone : TimingOutcome::Stopped);
            QCOMPARE(b.log, (Repeat({"11", "w3"}, 2)));
            QVERIFY(!shown);
        }
    }

    // The terminal tool ends a sequence as soon as the device is lost; the
    // windows carry on as they always have.
    void aVanishedDeviceEndsTheSequenceWhenAskedTo_data() {
        QTest::addColumn<int>("vanishAfter");  // reports the device still takes
        QTest::addColumn<int>("sequence");     // 0 start, 1 load, 2 write
        QTest::addColumn<int>("pausesWhenEnded");
        QTest::newRow("start, at the mode report") << 0 << 0 << 0;
        QTest::newRow("start, at the third read") << 4 << 0 << 2;
        QTest::newRow("load, at the fifth group") << 5 << 1 << 4;
        QTest::newRow("write, at the group") << 1 << 2 << 0;
    }
    void aVanishedDeviceEndsTheSequenceWhenAskedTo() {
        QFETCH(int, vanishAfter);
        QFETCH(int, sequence);
        QFETCH(int, pausesWhenEnded);
        for (const OnDeviceLost on_lost : {OnDeviceLost::End, OnDeviceLost::GoOn}) {
            Bench b;
            if (sequence != 0) b.start();
            b.rig.talvo.vanishAfter(vanishAfter);
            TimingOutcome outcome{};
            if (sequence == 0)
                outcome = StartTimingMode(b.rig.link, b.timing(), b.pacer, {}, on_lost);
            if (sequence == 1)
                outcome =
                    LoadTimingData(b.rig.link, b.timing(), std::nullopt, b.pacer, {}, {}, on_lost);
            if (sequence == 2)
                outcome =
                    WriteTimingParameter(b.rig.link, b.timing(), Parameter("hst"), 3, on_lost);
            const auto pauses = std::count_if(b.log.begin(), b.log.end(),
                                              [](const std::string& s) { return s[0] == 'w'; });
            QCOMPARE(int(b.rig.talvo.commands().size()), vanishAfter);
            if (on_lost == OnDeviceLost::End) {
                QCOMPARE(outcome, TimingOutcome::DeviceLost);
                QCOMPARE(int(pauses), pausesWhenEnded);
            } else {
                QCOMPARE(outcome, TimingOutcome::Done);
            }
        }
    }

    // Three reads in a row that wait out their whole second: lost. This one
    // takes three seconds of real waiting.
    void aSilentDeviceEndsTheReadBackAfterThreeReads() {
        Bench b;
        b.rig.talvo.setSilent(true);
        b.pacer.silence_expected = true;
        QCOMPARE(StartTimingMode(b.rig.link, b.timing(), b.pacer, {}, OnDeviceLost::End),
                 TimingOutcome::DeviceLost);
        QCOMPARE(b.log, (std::vector<std::string>{"0F", "10", "w3", "10"}));
        QCOMPARE(LeaveTimingMode(b.rig.link), TimingOutcome::DeviceLost);
    }

    void saveWritesTheImageAndReportsAFailure() {
        Bench b;
        b.start();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ombrix3_syc.bin"));
        QCOMPARE(SaveTimingData(b.timing(), path), TimingOutcome::Done);
        const QByteArray saved = ReadFile(path);
        QCOMPARE(saved.size(), qsizetype(257));
        QCOMPARE(uint8_t(saved[10]), b.timing().timing_image[10]);
        QCOMPARE(SaveTimingData(b.timing(), dir.filePath(QStringLiteral("no/such.bin"))),
                 TimingOutcome::FileError);
        QVERIFY(b.rig.talvo.commands().empty());
    }
};

TALVO_TEST_GUILESS_MAIN(TimingOperationsTest)
#include "timing_operations_test.moc"
