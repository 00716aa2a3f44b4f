// talvo4ctl rom write: end to end for its verdicts, Ctrl+C and a lost
// device; in process for what lands in the simulated ROM.

#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "cli/commands.h"
#include "sim/sim_platform.h"
#include "tests/cli/ctl_runner.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using talvo::testing::CtlRun;
using talvo::testing::RunCtl;
using talvo::testing::RunningCtl;

namespace {

constexpr uint32_t kRomAddress = 0xE8000;
constexpr int kMiB = 1048576;

QByteArray Pattern(int length) {
    QByteArray bytes(length, '\0');
    for (int i = 0; i < length; ++i) bytes[i] = char((i * 7 + (i >> 8)) & 0xFF);
    return bytes;
}

QString MakeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    return talvo::testing::WriteFile(path, bytes) ? path : QString();
}

}  // namespace

class CtlRomTest : public QObject {
    Q_OBJECT
  private slots:
    // The same command the program runs, on a simulated device the test
    // can look into: the ROM holds the file, and a file whose length is no
    // multiple of eight is filled up with zeros.
    void romHoldsTheFile_data() {
        QTest::addColumn<int>("length");
        QTest::newRow("13 bytes") << 13;
        QTest::newRow("40000 bytes") << 40000;
        QTest::newRow("1 MiB") << kMiB;
    }
    void romHoldsTheFile() {
        QFETCH(int, length);
        QTemporaryDir dir;
        const QByteArray bytes = Pattern(length);
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), bytes);
        auto prepared = talvo::cli::PrepareRom({QStringLiteral("write"), path});
        QVERIFY(prepared.command);

        talvo::sim::TalvoModel talvo;
        talvo::sim::SimPlatform platform(talvo);
        FILE* out = std::tmpfile();
        FILE* err = std::tmpfile();
        talvo::cli::Console console(out, err, true);
        talvo::cli::Session session(platform, {}, console);
        QVERIFY(session.connect());
        talvo::cli::Interrupts interrupts;
        talvo::cli::Context context{console, interrupts};
        QCOMPARE(prepared.command->run(session, context), 0);
        std::fclose(out);
        std::fclose(err);

        const uint32_t rounded = uint32_t(length + 7) / 8 * 8;
        const auto rom = talvo.rom.range(kRomAddress, rounded);
        QVERIFY(std::equal(bytes.begin(), bytes.end(), rom.begin(),
                           [](char a, uint8_t b) { return uint8_t(a) == b; }));
        QVERIFY(std::all_of(rom.begin() + length, rom.end(), [](uint8_t b) { return b == 0; }));
        QCOMPARE(talvo.rom.dataReportsTaken(), int(rounded / 8));
    }

    void verdicts_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("sums match") << QString() << 0 << QStringLiteral("  Write OK  rom=");
        QTest::newRow("a cell that does not take its write")
            << "bad-rom-cell:0xE8005" << 1 << QStringLiteral("Write error  rom=");
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

    void checksumNeverReady() {
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(64));
        const CtlRun run =
            RunCtl({"--simulate", "--simulate-fault", "checksum-never-ready", "rom", "write", path},
                   60000);
        QCOMPARE(run.exit_code, 1);
        QVERIFY(run.said(QStringLiteral("チェックサム応答なし")));
    }

    // A first Ctrl+C does not cut the write off: it says so and the write
    // ends with its verdict.
    void firstCtrlCLetsTheWriteFinish() {
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(kMiB));
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
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(kMiB));
        RunningCtl ctl({"--simulate", "--trace", "rom", "write", path});
        // The write start; the program then stalls on the unread trace.
        QVERIFY(ctl.waitForError("> 00 01 00 00 80 0E 00 00 10"));
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
        if (run.said(QStringLiteral("after all 1048576 bytes were sent"))) return;
        QVERIFY(
            run.said(QStringLiteral("of 1048576 bytes: the ROM area at 0xE8000 is incomplete")));
        // Every report after the write start was data, and not all of it went.
        QVERIFY(sent.end() - start - 1 < kMiB / 8);
    }

    void lostDevice_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::newRow("vanishes in the transfer")
            << "vanish-after:50" << QStringLiteral("after 80 of 1048576 bytes");
        QTest::newRow("falls silent in the erase")
            << "silent-after:5" << QStringLiteral("while erasing");
    }
    void lostDevice() {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = MakeFile(dir, QStringLiteral("rom.bin"), Pattern(kMiB));
        const CtlRun run =
            RunCtl({"--simulate", "--simulate-fault", fault, "rom", "write", path}, 30000);
        QVERIFY(run.finished);
        QCOMPARE(run.exit_code, 4);
        QVERIFY2(run.said(said), run.err.constData());
    }
};

TALVO_TEST_GUILESS_MAIN(CtlRomTest)
#include "ctl_rom_test.moc"
