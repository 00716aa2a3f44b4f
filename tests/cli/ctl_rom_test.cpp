// talvo4ctl rom write: what it says and which exit status it gives for each
// way a write ends, in process; end to end for its verdicts, the sleep lock,
// Ctrl+C and a lost device.

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "cli/commands.h"
#include "rom/rom_plan.h"
#include "sim/rom_model.h"
#include "sim/sim_platform.h"
#include "tests/cli/ctl_runner.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::testing::CtlRun;
using talvo::testing::RunCtl;
using talvo::testing::RunningCtl;

namespace {

// Four block erases: the first Ctrl+C lands while the write still erases.
constexpr int kErasing = 4 * 32768;
// A block and two sectors.
constexpr int kTransfer = 40000;

QByteArray Pattern(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = char((i * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

QString MakeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    return talvo::testing::WriteFile(path, bytes) ? path : QString();
}

QByteArray ReadBack(FILE* file) {
    std::rewind(file);
    QByteArray bytes;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        bytes.append(buffer, qsizetype(n));
    std::fclose(file);
    return bytes;
}

}  // namespace

Q_DECLARE_METATYPE(Ending)
Q_DECLARE_METATYPE(RomWriteResult)
Q_DECLARE_METATYPE(RomWritePhase)

// The outcome the current data row names: its ending, result and phase.
Outcome<RomWriteDetail> RowOutcome() {
    Outcome<RomWriteDetail> outcome;
    QFETCH(Ending, ending);
    outcome.ending = ending;
    QFETCH(RomWriteResult, result);
    outcome.detail.result = result;
    QFETCH(RomWritePhase, phase);
    outcome.detail.phase = phase;
    return outcome;
}

class CtlRomTest : public QObject {
    Q_OBJECT
  private slots:
    // Each way a write of a 16-byte transfer, or a check without a write,
    // ends: the exit status, the verdict on standard output where there is
    // one, and what standard error says of how far it got.
    void report_data() {
        QTest::addColumn<bool>("check");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<int>("bytes_sent");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("said");
        using R = RomWriteResult;
        using P = RomWritePhase;
        const auto row = [](const char* name, Ending ending, R result, P phase, int bytes_sent,
                            int exit_code, const char* out, QString said) {
            QTest::newRow(name) << false << ending << result << phase << bytes_sent << exit_code
                                << QString::fromUtf8(out) << said;
        };
        const auto check = [](const char* name, Ending ending, R result, int exit_code,
                              const char* out, QString said) {
            QTest::newRow(name) << true << ending << result << P::Done << 0 << exit_code
                                << QString::fromUtf8(out) << said;
        };
        const Ending done = Ending::Done;
        row("sums match", done, R::SumsMatch, P::Done, 16, 0, "verdict", "the sums match (0x1234)");
        row("sums differ", done, R::SumsDiffer, P::Done, 16, 1, "verdict",
            "the ROM's sum 0x1234 differs from the file's sum 0x0042: the write failed");
        row("no checksum answer", done, R::NoChecksumAnswer, P::Verify, 16, 1, "",
            QStringLiteral("never reported its checksum ready (チェックサム応答なし)"));
        row("empty file", done, R::EmptyFile, P::FileCheck, 0, 2, "", "is empty; nothing was sent");
        row("unreadable file", done, R::UnreadableFile, P::FileCheck, 0, 2, "",
            "could not be read; nothing was sent");
        row("unreadable in the transfer", done, R::UnreadableFile, P::Transfer, 16, 1, "",
            "could not be read to its end during the transfer: the ROM area at 0xE8000 was "
            "erased");
        row("unreadable at the verify", done, R::UnreadableFile, P::Verify, 16, 1, "",
            "could not be read again to verify it (after all 16 bytes were sent, before the "
            "checksum was compared: the write is not verified)");
        row("second Ctrl+C in the transfer", Ending::FrontEndGone, R::SumsMatch, P::Transfer, 8,
            130, "",
            "aborted by a second Ctrl+C after 8 of 16 bytes: the ROM area at 0xE8000 is "
            "incomplete");
        row("device lost while erasing", Ending::DeviceLost, R::SumsMatch, P::Erase, 0, 4, "",
            "while erasing: nothing was written, but the ROM area at 0xE8000 may be partly "
            "erased");
        row("device silent at the verify", Ending::DeviceSilent, R::SumsMatch, P::Verify, 16, 4, "",
            "fell silent");
        check("check: sums match", done, R::SumsMatch, 0,
              "the ROM's sum 0x1234 matches the file's sum", "");
        check("check: sums differ", done, R::SumsDiffer, 1,
              "the ROM's sum 0x1234 differs from the file's sum 0x0042", "");
        check("check: no checksum answer", done, R::NoChecksumAnswer, 4, "",
              "never reported its checksum ready within 15 s");
        check("check: Ctrl+C", Ending::Stopped, R::UnreadableFile, 130, "",
              "stopped by Ctrl+C; nothing was written");
        check("check: device silent", Ending::DeviceSilent, R::UnreadableFile, 4, "",
              "fell silent");
    }
    void report() {
        QFETCH(QString, out);
        QFETCH(QString, said);
        Outcome<RomWriteDetail> outcome = RowOutcome();
        const RomWriteResult result = outcome.detail.result;
        const RomWritePhase phase = outcome.detail.phase;
        QFETCH(int, bytes_sent);
        outcome.detail.bytes_sent = bytes_sent;
        outcome.detail.transfer_length = phase == RomWritePhase::FileCheck ? 0 : 16;
        outcome.detail.device_sum = 0x1234;
        outcome.detail.file_sum = result == RomWriteResult::SumsMatch ? 0x1234 : 0x42;
        sim::SimPlatform nothing;
        DeviceLink link(nothing);
        FILE* out_file = std::tmpfile();
        FILE* err_file = std::tmpfile();
        cli::Console console(out_file, err_file, false);

        QFETCH(bool, check);
        const QString path = QStringLiteral("rom.bin");
        const int exit_code =
            check ? cli::ReportRomVerify(outcome, path, link, console)
                  : cli::ReportRomWrite(outcome, QStringLiteral("verdict"), path, link, console);
        const QByteArray printed = ReadBack(out_file);
        const QByteArray error = ReadBack(err_file);
        QTEST(exit_code, "exit_code");
        QCOMPARE(QString::fromUtf8(printed).trimmed(), out);
        QVERIFY2(error.contains(said.toUtf8()), error.constData());
    }

    // rom verify on the simulated device: a file of what its fresh ROM holds
    // matches, any other differs, and neither is written.
    void verifyOnTheSimulatedDevice_data() {
        QTest::addColumn<bool>("fresh");
        QTest::addColumn<int>("exit_code");
        QTest::newRow("the ROM's own bytes") << true << 0;
        QTest::newRow("another file") << false << 1;
    }
    void verifyOnTheSimulatedDevice() {
        QFETCH(bool, fresh);
        QByteArray bytes = Pattern(40000);
        if (fresh)
            for (int i = 0; i < bytes.size(); ++i)
                bytes[i] = char(sim::RomModel::FreshByte(uint32_t(kRomAddress + i)));
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), bytes);
        const CtlRun run = RunCtl({"--simulate", "--trace", "rom", "verify", path});
        QTEST(run.exit_code, "exit_code");
        QVERIFY(QString::fromUtf8(run.out).contains(fresh ? "matches" : "differs"));
        // The checksum request and polls only: no erase (04, 05), no write start (01),
        // each after the report ID.
        QVERIFY(run.err.contains("> 00 06 00 00 80 0E 40 9C 00"));
        QVERIFY(!run.err.contains("> 00 01 ") && !run.err.contains("> 00 04 ") &&
                !run.err.contains("> 00 05 "));
    }

    // The sums --json gives for each way a write ends: a verdict with the
    // sums it compared, else where the write stopped.
    void sumsJson_data() {
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<QByteArray>("json");
        using R = RomWriteResult;
        using P = RomWritePhase;
        QTest::newRow("sums match")
            << Ending::Done << R::SumsMatch << P::Done
            << QByteArray(R"({"file_sum":"0x00AB","device_sum":"0x00AB","verdict":"match"})");
        QTest::newRow("sums differ")
            << Ending::Done << R::SumsDiffer << P::Done
            << QByteArray(R"({"file_sum":"0x00AB","device_sum":"0x1C2D","verdict":"differ"})");
        QTest::newRow("no checksum answer")
            << Ending::Done << R::NoChecksumAnswer << P::Verify
            << QByteArray(R"({"file_sum":"0x00AB","device_sum":null,"verdict":"no-answer"})");
        QTest::newRow("empty file")
            << Ending::Done << R::EmptyFile << P::FileCheck
            << QByteArray(R"({"file_sum":null,"device_sum":null,"phase":"file-check"})");
        QTest::newRow("lost in the transfer")
            << Ending::DeviceLost << R::SumsMatch << P::Transfer
            << QByteArray(R"({"file_sum":null,"device_sum":null,"phase":"transfer"})");
    }
    void sumsJson() {
        QFETCH(QByteArray, json);
        Outcome<RomWriteDetail> outcome = RowOutcome();
        const bool match = outcome.detail.result == RomWriteResult::SumsMatch;
        outcome.detail.file_sum = 0xAB;
        outcome.detail.device_sum = match ? 0xAB : 0x1C2D;
        const QJsonObject sums =
            cli::RomSumsJson(cli::RomSumsOf(QStringLiteral("rom.bin"), 16, outcome));
        QJsonObject expected = QJsonDocument::fromJson(json).object();
        expected.insert(QStringLiteral("file"), QStringLiteral("rom.bin"));
        expected.insert(QStringLiteral("length"), 16);
        QCOMPARE(sums.keys(), expected.keys());
        QVERIFY2(testing::Holds(sums, expected), QJsonDocument(sums).toJson().constData());
    }

    // Exit status 4's reason: a device that went, or one that answered
    // every poll without its sum, where replugging would not help.
    void deviceExitReason_data() {
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<RomWriteResult>("result");
        QTest::addColumn<RomWritePhase>("phase");
        QTest::addColumn<QString>("reason");
        QTest::newRow("never had its sum ready") << Ending::Done << RomWriteResult::NoChecksumAnswer
                                                 << RomWritePhase::Verify << "no-answer";
        QTest::newRow("vanished") << Ending::DeviceLost << RomWriteResult::UnreadableFile
                                  << RomWritePhase::Verify << "device-lost";
        QTest::newRow("fell silent") << Ending::DeviceSilent << RomWriteResult::UnreadableFile
                                     << RomWritePhase::Verify << "device-silent";
    }
    void deviceExitReason() {
        cli::Report report;
        QCOMPARE(cli::RomDeviceExit(report, RowOutcome()), 4);
        QTEST(report.object(4, {}).value("reason").toString(), "reason");
    }

    // The write's object: its sums, and the length summed.
    void jsonSaysTheSums() {
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(60));
        const CtlRun run = RunCtl({"--simulate", "--json", "rom", "write", path});
        QCOMPARE(run.exit_code, 0);
        const QJsonObject object = run.object();
        QVERIFY2(testing::Holds(
                     object,
                     QJsonObject{
                         {"file", path}, {"length", 60}, {"verdict", "match"}, {"reason", "done"}}),
                 run.out.constData());
        QCOMPARE(object.value("file_sum"), object.value("device_sum"));
    }

    void verdicts_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("sums match") << QString() << 0 << QStringLiteral("  Write OK  rom=");
        QTest::newRow("a cell that does not take its write")
            << "bad-rom-cell:0xE8005" << 1 << QStringLiteral("Write error  rom=");
        QTest::newRow("a data report stalled once, sent again")
            << "stall-once:20" << 0 << QStringLiteral("  Write OK  rom=");
    }
    void verdicts() {
        QFETCH(QString, fault);
        QFETCH(int, exit_code);
        QFETCH(QString, verdict);
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(40000));
        QStringList arguments{"--simulate"};
        if (!fault.isEmpty()) arguments << "--simulate-fault" << fault;
        const CtlRun run = RunCtl(arguments + QStringList{"rom", "write", path});
        QCOMPARE(run.exit_code, exit_code);
        QVERIFY(QString::fromUtf8(run.out).contains(verdict));
    }

    // No system bus (a container, a server without logind): the write goes
    // on without its sleep lock, and says so in exactly one line.
    void writesWithoutASleepLockWhereThereIsNoSystemBus() {
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(64));
        const QByteArray saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus").toUtf8());
        const CtlRun run = RunCtl({"--simulate", "--quiet", "rom", "write", path});
        if (saved.isNull())
            qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        else
            qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved);
        QCOMPARE(run.exit_code, 0);
        QCOMPARE(run.err.count("cannot keep the machine awake"), qsizetype(1));
        QCOMPARE(run.err.count('\n'), qsizetype(1));
    }

    // A first Ctrl+C does not cut the write off: it says so and the write
    // ends with its verdict.
    void firstCtrlCLetsTheWriteFinish() {
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(kErasing));
        RunningCtl ctl({"--simulate", "--trace", "rom", "write", path});
        QVERIFY(ctl.waitForError("> 00 05 00"));
        ctl.interrupt();
        const CtlRun run = ctl.finish(120000);
        QCOMPARE(run.exit_code, 0);
        QVERIFY(run.said(QStringLiteral("the ROM write goes on")));
        QVERIFY(run.out.contains("Write OK"));
    }

    // A second Ctrl+C in the transfer aborts it, and says the ROM area is
    // incomplete; the rest of the data is not sent.
    void secondCtrlCAborts() {
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(kTransfer));
        // A device that never sums keeps the write polling for 15 s after the
        // transfer, so the second Ctrl+C lands before the verdict however
        // busy the machine is.
        RunningCtl ctl({"--simulate", "--simulate-fault", "checksum-never-ready", "--trace", "rom",
                        "write", path});
        // The write start; the program then stalls on the unread trace.
        QVERIFY(ctl.waitForError("> 00 01 00 00 80 0E 40 9C 00"));
        ctl.interrupt();
        // Two signals sent at once may arrive as one: the second goes only
        // once the first has been answered.
        QVERIFY(ctl.waitForError("the ROM write goes on"));
        ctl.interrupt();
        const CtlRun run = ctl.finish(120000);
        QCOMPARE(run.exit_code, 130);
        QVERIFY(run.said(QStringLiteral("ROM write aborted by a second Ctrl+C")));
        const auto sent = run.sent();
        const auto start = std::find_if(sent.begin(), sent.end(), [](const QByteArray& report) {
            return report.startsWith(QByteArray("\x00\x01\x00\x00\x80\x0E", 6));
        });
        QVERIFY(start != sent.end());
        // The test reads the trace while it waits for the first answer, so the
        // transfer may have run to its end before the second signal landed;
        // either way the tool says how far the write got.
        if (run.said(QStringLiteral("after all 40000 bytes were sent"))) return;
        QVERIFY(run.said(QStringLiteral("of 40000 bytes: the ROM area at 0xE8000 is incomplete")));
        // Every report after the write start was data, and not all of it went.
        QVERIFY(sent.end() - start - 1 < kTransfer / 8);
    }

    // The tool ends the write at once when the device goes or stops taking
    // reports, and says how far it got (each ending's text is report's).
    void deviceTroubleEndsTheWrite_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("reason");
        QTest::newRow("vanishes") << "vanish-after:5"
                                  << "vanished"
                                  << "device-lost";
        QTest::newRow("stops taking reports") << "stall-from:5"
                                              << "did not take a report"
                                              << "write-error";
    }
    void deviceTroubleEndsTheWrite() {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(4096));
        const CtlRun run = RunCtl(
            {"--simulate", "--json", "--simulate-fault", fault, "rom", "write", path}, 30000);
        QVERIFY(run.finished);
        QCOMPARE(run.exit_code, 4);
        QVERIFY2(run.said(said) && run.said(QStringLiteral("after 24 of 4096 bytes: the ROM area "
                                                           "at 0xE8000 is incomplete")),
                 run.err.constData());
        QTEST(run.object().value("reason").toString(), "reason");
    }
};

TALVO_TEST_GUILESS_MAIN(CtlRomTest)
#include "ctl_rom_test.moc"
