// The ROM write as an operation, without a window: where it spends its waits
// and turns between the reports, what it tells its front end, and how far it
// got when it ends early.

#include <sys/stat.h>
#include <QRegularExpression>
#include <QTest>
#include "tests/support/test_main.h"

#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/rom_write.h"
#include "sim/sim_pacer.h"
#include "tests/rom/rom_test_support.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

constexpr int32_t kAt = kRomAddress;

// Logs every turn of `pacer` beside the exchanges; its front end is gone at
// the n-th turn when asked to, or when a write runs on far past any of these
// tests' (which then fails on its outcome).
void LogTurns(RomRig& rig, sim::SimPacer& pacer, int gone_at_turn = 0) {
    constexpr int kMostTurns = 100'000;
    pacer.leaveAt(sim::SimPacer::Turn::Either, gone_at_turn > 0 ? gone_at_turn : kMostTurns);
    pacer.on_turn = [&log = rig.log](std::optional<int> ticks) {
        log << (ticks ? QStringLiteral("w%1").arg(*ticks) : QStringLiteral("p"));
    };
}

// Every status and progress text into the rig's log.
Outcome<RomWriteDetail> Write(RomRig& rig, const QString& path, Pacer& pacer,
                              OnDeviceLost on_lost = OnDeviceLost::GoOn,
                              const RomWriteOptions& options = {}) {
    RomWriteObserver observer;
    observer.status = [&rig](const QString& text) { rig.log << QLatin1Char('=') + text; };
    observer.progress_text = observer.status;
    observer.progress = [&rig](int64_t sent, int64_t total) {
        rig.log << QStringLiteral("%1/%2").arg(sent).arg(total);
    };
    return WriteRom(rig.link, kAt, path, {pacer, {}, on_lost}, observer, options);
}

}  // namespace

Q_DECLARE_METATYPE(RomWriteResult)
Q_DECLARE_METATYPE(RomWritePhase)
Q_DECLARE_METATYPE(Ending)

class RomWriteTest : public QObject {
    Q_OBJECT
  private slots:
    // Every wait, turn, text and exchange of a 13-byte write, in order: the
    // device is paced only where it gets time to erase, finish the transfer
    // or sum, and no wait or read falls between the data reports.
    void stepsOfASmallWrite() {
        QTemporaryDir dir;
        const QByteArray file = Pattern(13);
        RomRig rig;
        sim::SimPacer pacer(rig.talvo.clock);
        LogTurns(rig, pacer);
        const Outcome<RomWriteDetail> outcome = Write(rig, ImageFile(dir, file), pacer);

        // One sector erase; the write start; the data; the end of the
        // transfer; the checksum request; the polls; the verdict.
        const QStringList expected =
            QStringLiteral(
                "04|w2|R|w2|=Download|p|01|0/16|=0byte|p|d|8/16|=8byte|p|d|16/16|"
                "w2|R|w2|=Download End|=check sum start|p|06|w2|00|R|w2|00|R|w2|00|R|w2")
                .split(QLatin1Char('|')) +
            QStringList{QLatin1Char('=') + rom_texts::VerdictText(Sum(file), Sum(file)), "p"};
        QCOMPARE(rig.log, expected);
        QVERIFY(outcome.done());
        const RomWriteDetail& detail = outcome.detail;
        QCOMPARE(detail.result, RomWriteResult::SumsMatch);
        QCOMPARE(detail.phase, RomWritePhase::Done);
        QCOMPARE(detail.bytes_sent, 16);
        QCOMPARE(detail.transfer_length, 16);
        QCOMPARE(detail.device_sum, Sum(file));
        QCOMPARE(detail.file_sum, Sum(file));
    }

    // Writes of many reports: the erases the plan names (blocks before
    // sectors, "Erace" after each block), the write start, the first 1 MiB of
    // the file with a short last report filled with zeros, and the checksum
    // request over what was written; erased cells past it read 0xFF, and no
    // cell outside the erased area changes.
    void largerWrites_data() {
        QTest::addColumn<qint64>("length");
        QTest::newRow("one block, eight sectors") << qint64(32768);
        QTest::newRow("a block and two sectors, short last report") << qint64(40003);
        QTest::newRow("1 MiB") << qint64(1048576);
        QTest::newRow("longer file: its first 1 MiB") << qint64(1048576 + 4099);
    }
    void largerWrites() {
        QFETCH(qint64, length);
        QTemporaryDir dir;
        const QByteArray file = Pattern(length);
        RomRig rig;
        sim::SimPacer pacer(rig.talvo.clock);
        const Outcome<RomWriteDetail> outcome = Write(rig, ImageFile(dir, file), pacer);
        QVERIFY(outcome.done());
        QCOMPARE(outcome.detail.result, RomWriteResult::SumsMatch);

        const WritePlan plan = PlanWrite(length);
        std::vector<CommandArray> expected;
        for (int32_t block : BlockAddresses(plan, kAt))
            expected.push_back(EraseBlockCommand(block));
        for (int32_t sector : SectorAddresses(plan, kAt))
            expected.push_back(EraseSectorCommand(sector));
        expected.push_back(WriteStartCommand(kAt, plan.transfer_length));
        const auto commands = rig.talvo.commands();
        QVERIFY(commands.size() > expected.size() + plan.dataReports());
        for (size_t i = 0; i < expected.size(); ++i) QCOMPARE(commands[i], expected[i]);
        QCOMPARE(commands[expected.size() + plan.dataReports()],
                 ChecksumRequestCommand(kAt, plan.checksum_length));
        QCOMPARE(rig.log.count(QLatin1Char('=') + rom_texts::kErase), plan.blocks);
        QCOMPARE(rig.talvo.queuedAnswers(), size_t(0));

        const auto& rom = rig.talvo.rom;
        const int32_t written = plan.checksum_length;
        QCOMPARE(rom.dataReportsTaken(), plan.dataReports());
        QVERIFY(Bytes(rom.range(kAt, uint32_t(written))) == Bytes(file.left(written)));
        const uint32_t erased_end = kAt + plan.blocks * kBlockSize + plan.sectors * kSectorSize;
        for (uint32_t a = kAt + written; a < erased_end; ++a)
            QCOMPARE(rom.contents()[a],
                     uint8_t(a < uint32_t(kAt + plan.transfer_length) ? 0x00 : 0xFF));
        QCOMPARE(rom.contents()[erased_end], sim::RomModel::FreshByte(erased_end));
        QCOMPARE(rom.contents()[kAt - 1], sim::RomModel::FreshByte(kAt - 1));
    }

    // How each write that runs its course, or is refused, ends, and the text
    // the window is left with.
    void outcomes_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<int>("reports");
        QTest::addColumn<int>("bytes_sent");
        const auto row = [](const char* name, const char* kind, RomWriteResult result,
                            RomWritePhase phase, int reports, int bytes_sent) {
            QTest::newRow(name) << kind << result << phase << reports << bytes_sent;
        };
        using R = RomWriteResult;
        using P = RomWritePhase;
        row("sums match", "match", R::SumsMatch, P::Done, 8, 16);
        row("a cell that does not take its write", "bad cell", R::SumsDiffer, P::Done, 8, 16);
        row("file emptied after the plan: the transfer sends zeros, no verify", "emptied",
            R::UnreadableFile, P::Transfer, 4, 16);
        row("file shortened before the verify", "shortened", R::UnreadableFile, P::Verify, 4, 16);
        row("empty file", "empty", R::EmptyFile, P::FileCheck, 0, 0);
        row("missing file", "missing", R::UnreadableFile, P::FileCheck, 0, 0);
        row("a folder", "folder", R::UnreadableFile, P::FileCheck, 0, 0);
        row("a pipe, which would block the write", "pipe", R::UnreadableFile, P::FileCheck, 0, 0);
        row("file gone before the verify", "removed", R::UnreadableFile, P::Verify, 4, 16);
        row("device gone after the first data report, the window's way", "vanish",
            R::NoChecksumAnswer, P::Verify, 3, 16);
    }
    void outcomes() {
        QFETCH(QString, kind);
        QFETCH(RomWriteResult, result);
        QTemporaryDir dir;
        const QByteArray file = Pattern(13);
        QString path = ImageFile(dir, kind == QLatin1String("empty") ? QByteArray() : file);
        if (kind == QLatin1String("missing")) path = dir.filePath(QStringLiteral("none"));
        if (kind == QLatin1String("folder")) path = dir.path();
        if (kind == QLatin1String("pipe")) {
            path = dir.filePath(QStringLiteral("pipe"));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        RomRig rig;
        if (kind == QLatin1String("bad cell")) rig.talvo.rom.failWriteAt(kAt + 5);
        if (kind == QLatin1String("vanish")) rig.talvo.vanishAfter(3);
        if (kind == QLatin1String("removed") || kind == QLatin1String("emptied") ||
            kind == QLatin1String("shortened"))
            rig.talvo.on_report = [&](const sim::RecordedReport& report) {
                // Emptied at the erase, after the plan and the read through;
                // the others once the transfer has read the file.
                if (kind == QLatin1String("emptied") && report.command()[0] == 0x04)
                    QFile::resize(path, 0);
                if (!rig.talvo.rom.inDataPhase()) return;
                if (kind == QLatin1String("removed")) QFile::remove(path);
                if (kind == QLatin1String("shortened")) QFile::resize(path, 12);
            };
        sim::SimPacer pacer(rig.talvo.clock);
        const Outcome<RomWriteDetail> outcome = Write(rig, path, pacer);
        const RomWriteDetail& detail = outcome.detail;

        QVERIFY(outcome.done());
        QCOMPARE(detail.result, result);
        QTEST(detail.phase, "phase");
        QTEST(int(rig.talvo.reports().size()), "reports");
        QTEST(int(detail.bytes_sent), "bytes_sent");
        if (kind == QLatin1String("emptied")) {
            // The device got all it waited for, and the write ended there.
            QCOMPARE(Bytes(rig.talvo.rom.range(kAt, 16)), Bytes(QByteArray(16, '\0')));
            QVERIFY(!rig.log.contains(QLatin1Char('=') + rom_texts::kDownloadEnd));
        }
        if (result == RomWriteResult::SumsDiffer) {
            QCOMPARE(detail.file_sum, Sum(file));
            uint16_t rom_sum = 0;
            for (uint8_t b : rig.talvo.rom.range(kAt, 13)) rom_sum = uint16_t(rom_sum + b);
            QCOMPARE(detail.device_sum, rom_sum);
            QVERIFY(detail.device_sum != detail.file_sum);
        }
        // The last text is the one the window leaves standing for this end.
        QString last;
        for (const QString& entry : rig.log)
            if (entry.startsWith(QLatin1Char('='))) last = entry.mid(1);
        const QString verdict = rom_texts::VerdictText(detail.device_sum, detail.file_sum);
        QCOMPARE(last, result == RomWriteResult::EmptyFile          ? rom_texts::kEmptyFile
                       : result == RomWriteResult::UnreadableFile   ? rom_texts::kUnreadableFile
                       : result == RomWriteResult::NoChecksumAnswer ? rom_texts::kNoChecksum
                                                                    : verdict);
    }

    // A front end that goes, or a device that vanishes or falls silent while
    // the front end asked to end then: the write ends where it is, sends
    // nothing more, and says how far it got.
    void endingEarly_data() {
        QTest::addColumn<int>("gone_at_call");
        QTest::addColumn<int>("vanish_after");  // reports; -1: never, 0: silent from the start
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<int>("reports");
        QTest::addColumn<int>("bytes_sent");
        QTest::newRow("front end gone in the first erase wait")
            << 1 << -1 << Ending::FrontEndGone << RomWritePhase::Erase << 1 << 0;
        QTest::newRow("front end gone before the second data report")
            << 5 << -1 << Ending::FrontEndGone << RomWritePhase::Transfer << 3 << 8;
        QTest::newRow("front end gone while polling")
            << 9 << -1 << Ending::FrontEndGone << RomWritePhase::Verify << 5 << 16;
        QTest::newRow("device gone after the erase")
            << 0 << 1 << Ending::DeviceLost << RomWritePhase::Erase << 1 << 0;
        QTest::newRow("device gone after the first data report")
            << 0 << 3 << Ending::DeviceLost << RomWritePhase::Transfer << 3 << 8;
        QTest::newRow("device silent: three reads wait out their second")
            << 0 << 0 << Ending::DeviceSilent << RomWritePhase::Verify << 6 << 16;
    }
    void endingEarly() {
        QFETCH(int, gone_at_call);
        QFETCH(int, vanish_after);
        QTemporaryDir dir;
        RomRig rig;
        if (vanish_after == 0) rig.talvo.setSilent(true);
        if (vanish_after > 0) rig.talvo.vanishAfter(vanish_after);
        sim::SimPacer pacer(rig.talvo.clock);
        LogTurns(rig, pacer, gone_at_call);
        const Outcome<RomWriteDetail> outcome =
            Write(rig, ImageFile(dir, Pattern(13)), pacer, OnDeviceLost::End);
        QTEST(outcome.ending, "ending");
        QTEST(outcome.detail.phase, "phase");
        QTEST(int(rig.talvo.reports().size()), "reports");
        QTEST(int(outcome.detail.bytes_sent), "bytes_sent");
        QCOMPARE(outcome.detail.transfer_length, 16);
    }

    // A stop asked for before the first erase (Ctrl+C while the device was
    // opened or the sleep lock asked for) sends nothing; once the write has
    // begun, it is not heeded.
    void stopRequest_data() {
        QTest::addColumn<bool>("before_the_first_report");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<int>("reports");
        QTest::newRow("before the first erase: nothing sent") << true << Ending::Stopped << 0;
        QTest::newRow("once the write began: not heeded") << false << Ending::Done << 8;
    }
    void stopRequest() {
        QFETCH(bool, before_the_first_report);
        QTemporaryDir dir;
        RomRig rig;
        sim::SimPacer pacer(rig.talvo.clock);
        const StopRequest stop = [&] {
            return before_the_first_report || !rig.talvo.reports().empty();
        };
        const Outcome<RomWriteDetail> outcome =
            WriteRom(rig.link, kAt, ImageFile(dir, Pattern(13)), {pacer, stop});
        QTEST(outcome.ending, "ending");
        QTEST(int(rig.talvo.reports().size()), "reports");
    }

    // Another sequence's hold keeps the write off the device: nothing is
    // sent and nothing shown. The caller's own hold, handed to the write, is
    // the one it sends through.
    void holdOfTheLink_data() {
        QTest::addColumn<bool>("handed_over");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<int>("reports");
        QTest::newRow("another sequence holds the link") << false << Ending::DeviceBusy << 0;
        QTest::newRow("the caller's own hold") << true << Ending::Done << 8;
    }
    void holdOfTheLink() {
        QFETCH(bool, handed_over);
        QTemporaryDir dir;
        RomRig rig;
        DeviceLink::Exclusive hold(rig.link);
        sim::SimPacer pacer(rig.talvo.clock);
        RomWriteOptions options;
        if (handed_over) options.hold = &hold;
        const Outcome<RomWriteDetail> outcome =
            Write(rig, ImageFile(dir, Pattern(13)), pacer, OnDeviceLost::GoOn, options);
        QTEST(outcome.ending, "ending");
        QTEST(int(rig.talvo.reports().size()), "reports");
        QCOMPARE(rig.log.isEmpty(), !handed_over);
        QCOMPARE(rig.link.heldOffCount(), 0);
    }

    // A check without a write sends the checksum request and the write's
    // polls, nothing else, and compares the device's sum with the file's
    // over the same range; it gives up within the same bound, and may be
    // stopped between polls.
    void verifyWithoutWriting_data() {
        QTest::addColumn<QString>("rom");  // written, fresh, never ready, stopped, busy
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<QString>("sent");
        QTest::newRow("the ROM holds the file")
            << "written" << Ending::Done << RomWriteResult::SumsMatch
            << "06|w2|00|R|w2|00|R|w2|00|R|w2";
        QTest::newRow("the ROM holds something else")
            << "fresh" << Ending::Done << RomWriteResult::SumsDiffer
            << "06|w2|00|R|w2|00|R|w2|00|R|w2";
        QTest::newRow("the sum never comes")
            << "never ready" << Ending::Done << RomWriteResult::NoChecksumAnswer << "";
        QTest::newRow("stopped after the first poll")
            << "stopped" << Ending::Stopped << RomWriteResult::UnreadableFile << "06|w2|00|R";
        QTest::newRow("another sequence holds the link")
            << "busy" << Ending::DeviceBusy << RomWriteResult::UnreadableFile << "";
    }
    void verifyWithoutWriting() {
        QFETCH(QString, rom);
        QFETCH(RomWriteResult, result);
        QFETCH(QString, sent);
        QTemporaryDir dir;
        const QByteArray file = Pattern(13);
        const QString path = ImageFile(dir, file);
        RomRig rig;
        sim::SimPacer pacer(rig.talvo.clock);
        if (rom == QLatin1String("written")) QVERIFY(Write(rig, path, pacer).done());
        if (rom == QLatin1String("never ready")) rig.talvo.rom.setPollsBeforeReady(std::nullopt);
        std::optional<DeviceLink::Exclusive> other;
        if (rom == QLatin1String("busy")) other.emplace(rig.link);
        const std::vector<uint8_t> before = rig.talvo.rom.contents();
        rig.log.clear();
        LogTurns(rig, pacer);
        const auto start = rig.talvo.clock.now();
        int polls = 0;
        // Asked before the request, then before each poll.
        const StopRequest stop = [&] { return rom == QLatin1String("stopped") && polls++ > 1; };
        RomWriteObserver observer;
        observer.status = [&rig](const QString& text) { rig.log << QLatin1Char('=') + text; };

        const Outcome<RomWriteDetail> outcome =
            VerifyRom(rig.link, kAt, path, {pacer, stop, OnDeviceLost::End}, observer);

        QTEST(outcome.ending, "ending");
        QCOMPARE(rig.talvo.rom.contents(), before);
        const RomWriteDetail& detail = outcome.detail;
        QCOMPARE(detail.bytes_sent, 0);
        if (!outcome.done()) {
            QCOMPARE(rig.log.filter(QRegularExpression(QStringLiteral("^(06|00|R|w2)$")))
                         .join(QLatin1Char('|')),
                     sent);
            return;
        }
        QCOMPARE(detail.result, result);
        QCOMPARE(detail.file_sum, Sum(file));
        if (result == RomWriteResult::NoChecksumAnswer) {
            QCOMPARE(rig.log.last(), QStringLiteral("p"));
            QCOMPARE(rig.log[rig.log.size() - 2], QLatin1Char('=') + rom_texts::kNoChecksum);
            QVERIFY(rig.talvo.clock.now() - start < std::chrono::milliseconds(15100));
            return;
        }
        QCOMPARE(detail.phase, RomWritePhase::Done);
        const QString verdict = rom_texts::VerdictText(detail.device_sum, detail.file_sum);
        QCOMPARE(rig.log.join(QLatin1Char('|')), QStringLiteral("=check sum start|p|") + sent +
                                                     QStringLiteral("|=") + verdict +
                                                     QStringLiteral("|p"));
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
        RomRig rig;
        sim::SimClock& clock = rig.talvo.clock;
        sim::SimPacer pacer(rig.talvo.clock);
        LogTurns(rig, pacer);
        if (sum_ms == -1) rig.talvo.rom.setPollsBeforeReady(std::nullopt);
        if (sum_ms == -2) rig.talvo.silentAfter(1 + 1 + 4096 / 8 + 1);  // up to the request
        if (sum_ms >= 0)
            rig.talvo.rom.setSumTime(std::chrono::milliseconds(sum_ms),
                                     [&clock] { return clock.now(); });
        std::chrono::steady_clock::time_point requested_at{};
        rig.talvo.on_report = [&](const sim::RecordedReport& report) {
            if (report.command()[0] == 0x06 && !rig.talvo.rom.inDataPhase())
                requested_at = clock.now();
        };
        const Outcome<RomWriteDetail> outcome = Write(rig, ImageFile(dir, file), pacer);

        QVERIFY(outcome.done());
        QCOMPARE(outcome.detail.result, result);
        QVERIFY(rig.log.size() >= 2);
        QCOMPARE(rig.log.last(), QStringLiteral("p"));
        QCOMPARE(rig.log[rig.log.size() - 2],
                 QLatin1Char('=') + (result == RomWriteResult::SumsMatch
                                         ? rom_texts::VerdictText(Sum(file), Sum(file))
                                         : rom_texts::kNoChecksum));
        QVERIFY(requested_at != std::chrono::steady_clock::time_point{});
        const auto ended_after =
            std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - requested_at);
        QVERIFY2(ended_after.count() >= ends_after_ms && ended_after.count() <= ends_by_ms,
                 qPrintable(QString::number(ended_after.count())));
    }
};

TALVO_TEST_GUILESS_MAIN(RomWriteTest)
#include "rom_write_test.moc"
