// The ROM write as an operation, without a window: where it spends its waits
// and turns between the reports, what it tells its front end, and how far it
// got when it ends early.

#include "tests/support/test_main.h"

#include "rom/rom_texts.h"
#include "rom/rom_write.h"
#include "tests/rom/rom_test_support.h"

using namespace talvo;
using namespace talvo::rom;
using namespace talvo::testing;

namespace {

constexpr int32_t kAt = 0xE8000;

// Spends no real time: each tick moves the simulated device's virtual clock
// by 10 ms. Logs each call beside the exchanges, and says the front end is gone at its
// n-th call when asked to, or when a write runs on far past any of these
// tests' (which then fails on its outcome).
class DrivenPacer : public Pacer {
  public:
    DrivenPacer(sim::SimClock& clock, QStringList& log, int gone_at_call = 0)
        : clock_(clock), log_(log), gone_at_(gone_at_call) {}
    bool waitTicks(int ticks) override {
        clock_.sleepFor(ticks * kMainTick);
        log_ << QStringLiteral("w%1").arg(ticks);
        return next();
    }
    bool pass() override {
        log_ << QStringLiteral("p");
        return next();
    }
    std::chrono::steady_clock::time_point now() const override { return clock_.now(); }

  private:
    static constexpr int kMaxCalls = 100'000;
    bool next() { return ++calls_ != gone_at_ && calls_ < kMaxCalls; }

    sim::SimClock& clock_;
    QStringList& log_;
    int gone_at_;
    int calls_ = 0;
};

struct Device {
    sim::TalvoModel talvo;
    QStringList log;
    LoggingPlatform platform{talvo, log};
    DeviceLink link{platform};
    // On virtual time: a read the device leaves unanswered costs no real second.
    Device() {
        talvo.clock.makeVirtual();
        link.FindDevice();
    }

    RomWriteOutcome write(const QString& path, Pacer& pacer, RomWriteOptions options = {}) {
        RomWriteObserver observer;
        observer.status = [this](const QString& text) { log << QLatin1Char('=') + text; };
        observer.progress_text = observer.status;
        observer.progress = [this](int64_t sent, int64_t total) {
            log << QStringLiteral("%1/%2").arg(sent).arg(total);
        };
        return WriteRom(link, kAt, path, pacer, observer, options);
    }
};

}  // namespace

Q_DECLARE_METATYPE(RomWriteResult)
Q_DECLARE_METATYPE(RomWritePhase)

class RomWriteTest : public QObject {
    Q_OBJECT
  private slots:
    // Every wait, turn, text and exchange of a 13-byte write, in order: the
    // device is paced only where it gets time to erase, finish the transfer
    // or sum, and no wait or read falls between the data reports.
    void stepsOfASmallWrite() {
        QTemporaryDir dir;
        const QByteArray file = Pattern(13);
        Device device;
        DrivenPacer pacer(device.talvo.clock, device.log);
        const RomWriteOutcome outcome = device.write(WriteFile(dir, file), pacer);

        const QStringList expected{"04",
                                   "w2",
                                   "R",
                                   "w2",  // one sector erase
                                   "=Download",
                                   "p",
                                   "01",  // write start
                                   "0/16",
                                   "=0byte",
                                   "p",
                                   "d",
                                   "8/16",
                                   "=8byte",
                                   "p",
                                   "d",
                                   "16/16",  // data
                                   "w2",
                                   "R",
                                   "w2",
                                   "=Download End",  // end of the transfer
                                   "=check sum start",
                                   "p",
                                   "06",  // checksum request
                                   "w2",
                                   "00",
                                   "R",
                                   "w2",
                                   "00",
                                   "R",
                                   "w2",
                                   "00",
                                   "R",  // polls
                                   "w2",
                                   QLatin1Char('=') + texts::VerdictText(Sum(file), Sum(file)),
                                   "p"};
        QCOMPARE(device.log, expected);
        QCOMPARE(outcome.result, RomWriteResult::SumsMatch);
        QCOMPARE(outcome.phase, RomWritePhase::Done);
        QCOMPARE(outcome.bytes_sent, 16);
        QCOMPARE(outcome.transfer_length, 16);
        QCOMPARE(outcome.device_sum, Sum(file));
        QCOMPARE(outcome.file_sum, Sum(file));
    }

    // How each write that runs its course, or is refused, ends.
    void outcomes_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<int>("reports");
        QTest::addColumn<int>("bytes_sent");
        QTest::newRow("sums match")
            << "match" << RomWriteResult::SumsMatch << RomWritePhase::Done << 8 << 16;
        QTest::newRow("a cell that does not take its write")
            << "bad cell" << RomWriteResult::SumsDiffer << RomWritePhase::Done << 8 << 16;
        QTest::newRow("empty file")
            << "empty" << RomWriteResult::EmptyFile << RomWritePhase::FileCheck << 0 << 0;
        QTest::newRow("missing file")
            << "missing" << RomWriteResult::UnreadableFile << RomWritePhase::FileCheck << 0 << 0;
        QTest::newRow("a folder") << "folder" << RomWriteResult::UnreadableFile
                                  << RomWritePhase::FileCheck << 0 << 0;
        QTest::newRow("file gone before the verify")
            << "removed" << RomWriteResult::UnreadableFile << RomWritePhase::Verify << 4 << 16;
    }
    void outcomes() {
        QFETCH(QString, kind);
        QFETCH(RomWriteResult, result);
        QTemporaryDir dir;
        const QByteArray file = Pattern(13);
        QString path = WriteFile(dir, kind == QLatin1String("empty") ? QByteArray() : file);
        if (kind == QLatin1String("missing")) path = dir.filePath(QStringLiteral("none"));
        if (kind == QLatin1String("folder")) path = dir.path();
        Device device;
        if (kind == QLatin1String("bad cell")) device.talvo.rom.failWriteAt(kAt + 5);
        if (kind == QLatin1String("removed"))
            device.talvo.on_report = [&](const sim::RecordedReport&) {
                if (device.talvo.rom.inDataPhase()) QFile::remove(path);
            };
        DrivenPacer pacer(device.talvo.clock, device.log);
        const RomWriteOutcome outcome = device.write(path, pacer);

        QCOMPARE(outcome.result, result);
        QTEST(outcome.phase, "phase");
        QTEST(int(device.talvo.reports().size()), "reports");
        QTEST(int(outcome.bytes_sent), "bytes_sent");
        if (result == RomWriteResult::SumsDiffer) {
            QCOMPARE(outcome.file_sum, Sum(file));
            uint16_t rom_sum = 0;
            for (uint8_t b : device.talvo.rom.range(kAt, 13)) rom_sum = uint16_t(rom_sum + b);
            QCOMPARE(outcome.device_sum, rom_sum);
            QVERIFY(outcome.device_sum != outcome.file_sum);
        }
        // The last text is the one the window leaves standing for this end.
        QString last;
        for (const QString& entry : device.log)
            if (entry.startsWith(QLatin1Char('='))) last = entry.mid(1);
        const QString verdict = texts::VerdictText(outcome.device_sum, outcome.file_sum);
        QCOMPARE(last, result == RomWriteResult::EmptyFile        ? texts::kEmptyFile
                       : result == RomWriteResult::UnreadableFile ? texts::kUnreadableFile
                                                                  : verdict);
    }

    // A front end that goes, or a device that vanishes or falls silent: the
    // write ends where it is, sends nothing more, and says how far it got.
    // Without end_when_device_lost it keeps going as the window always has.
    void endingEarly_data() {
        QTest::addColumn<int>("gone_at_call");
        QTest::addColumn<int>("vanish_after");  // reports; -1: never, 0: silent from the start
        QTest::addColumn<bool>("end_when_lost");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<int>("reports");
        QTest::addColumn<int>("bytes_sent");
        QTest::newRow("front end gone in the first erase wait")
            << 1 << -1 << false << RomWriteResult::Aborted << RomWritePhase::Erase << 1 << 0;
        QTest::newRow("front end gone before the second data report")
            << 5 << -1 << false << RomWriteResult::Aborted << RomWritePhase::Transfer << 3 << 8;
        QTest::newRow("front end gone while polling")
            << 9 << -1 << false << RomWriteResult::Aborted << RomWritePhase::Verify << 5 << 16;
        QTest::newRow("device gone after the erase")
            << 0 << 1 << true << RomWriteResult::DeviceLost << RomWritePhase::Erase << 1 << 0;
        QTest::newRow("device gone after the first data report")
            << 0 << 3 << true << RomWriteResult::DeviceLost << RomWritePhase::Transfer << 3 << 8;
        QTest::newRow("device gone, the window's way")
            << 0 << 3 << false << RomWriteResult::NoChecksumAnswer << RomWritePhase::Verify << 3
            << 16;
        QTest::newRow("device silent: three reads wait out their second")
            << 0 << 0 << true << RomWriteResult::DeviceLost << RomWritePhase::Verify << 6 << 16;
    }
    void endingEarly() {
        QFETCH(int, gone_at_call);
        QFETCH(int, vanish_after);
        QFETCH(bool, end_when_lost);
        QTemporaryDir dir;
        Device device;
        if (vanish_after == 0) device.talvo.setSilent(true);
        if (vanish_after > 0) device.talvo.vanishAfter(vanish_after);
        DrivenPacer pacer(device.talvo.clock, device.log, gone_at_call);
        const RomWriteOutcome outcome = device.write(WriteFile(dir, Pattern(13)), pacer,
                                                     {.end_when_device_lost = end_when_lost});
        QTEST(outcome.result, "result");
        QTEST(outcome.phase, "phase");
        QTEST(int(device.talvo.reports().size()), "reports");
        QTEST(int(outcome.bytes_sent), "bytes_sent");
        QCOMPARE(outcome.transfer_length, 16);
    }

    // The verify polls for 15 s after the checksum request, on the pacer's
    // clock (virtual here, so no test waits in real time): a part that sums
    // slowly still gets its success text, one that never reports its sum
    // ready ends on the first poll past the bound, and one that answers
    // nothing at all (each read waits out its second) within about 17 s.
    void checksumPollingBound_data() {
        QTest::addColumn<int>("sum_ms");  // -1: never ready, -2: no answers at all
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<int>("ends_after_ms");  // after the request
        QTest::addColumn<int>("ends_by_ms");
        QTest::newRow("sum ready after 8 s") << 8000 << RomWriteResult::SumsMatch << 8000 << 8040;
        QTest::newRow("ready just inside the bound")
            << 14990 << RomWriteResult::SumsMatch << 15000 << 15040;
        QTest::newRow("ready just past the bound")
            << 15030 << RomWriteResult::NoChecksumAnswer << 15000 << 15040;
        QTest::newRow("never ready") << -1 << RomWriteResult::NoChecksumAnswer << 15000 << 15040;
        QTest::newRow("silent after the request")
            << -2 << RomWriteResult::NoChecksumAnswer << 15000 << 17000;
    }
    void checksumPollingBound() {
        QFETCH(int, sum_ms);
        QFETCH(RomWriteResult, result);
        QFETCH(int, ends_after_ms);
        QFETCH(int, ends_by_ms);
        QTemporaryDir dir;
        const QByteArray file = Pattern(4096);
        Device device;
        sim::SimClock& clock = device.talvo.clock;
        DrivenPacer pacer(clock, device.log);
        if (sum_ms == -1) device.talvo.rom.setPollsBeforeReady(std::nullopt);
        if (sum_ms == -2) device.talvo.silentAfter(1 + 1 + 4096 / 8 + 1);  // up to the request
        if (sum_ms >= 0)
            device.talvo.rom.setSumTime(std::chrono::milliseconds(sum_ms),
                                        [&clock] { return clock.now(); });
        std::chrono::steady_clock::time_point requested_at{};
        device.talvo.on_report = [&](const sim::RecordedReport& report) {
            if (report.command()[0] == 0x06 && !device.talvo.rom.inDataPhase())
                requested_at = clock.now();
        };
        const RomWriteOutcome outcome = device.write(WriteFile(dir, file), pacer);

        QCOMPARE(outcome.result, result);
        QVERIFY(device.log.size() >= 2);
        QCOMPARE(device.log.last(), QStringLiteral("p"));
        QCOMPARE(device.log[device.log.size() - 2],
                 QLatin1Char('=') + (result == RomWriteResult::SumsMatch
                                         ? texts::VerdictText(Sum(file), Sum(file))
                                         : texts::kNoChecksum));
        QVERIFY(requested_at != std::chrono::steady_clock::time_point{});
        const auto ended_after =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - requested_at);
        QVERIFY2(ended_after.count() >= ends_after_ms && ended_after.count() <= ends_by_ms,
                 qPrintable(QString::number(ended_after.count())));
    }
};

TALVO_TEST_GUILESS_MAIN(RomWriteTest)
#include "rom_write_test.moc"
