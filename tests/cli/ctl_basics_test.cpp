// talvo4ctl end to end on the simulated TALVO-4: its command line, usage
// errors, remote keys, and what it says when the device is missing,
// refused, in use by another program, or lost.

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/commands.h"
#include "cli/session.h"
#include "packaging/udev_rule.h"
#include "sim/sim_platform.h"
#include "tests/cli/ctl_runner.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using talvo::cli::Reason;
using talvo::testing::CtlRun;
using talvo::testing::RunCtl;
using talvo::testing::RunningCtl;

namespace {

QStringList Simulated(QStringList arguments) {
    return QStringList{QStringLiteral("--simulate"), QStringLiteral("--trace")} + arguments;
}

}  // namespace

Q_DECLARE_METATYPE(std::optional<Reason>)

class CtlBasicsTest : public QObject {
    Q_OBJECT
  private slots:
    // --help and --version print their text, also beside --json.
    void helpNamesEveryCommandAndExitStatus() {
        const CtlRun run = RunCtl({QStringLiteral("--help")});
        QCOMPARE(run.exit_code, 0);
        for (const char* word : {"list", "key CODE|NAME", "keys", "slot rec N", "capture -o FILE",
                                 "timing set NAME=VALUE", "rom write FILE", "--simulate",
                                 "--device PATH", "--wait SECONDS", "--trace", "--quiet", "130"})
            QVERIFY2(run.out.contains(word), word);
        for (int status = 0; status <= 5; ++status)
            QVERIFY(run.out.contains(QByteArray("\n  ") + QByteArray::number(status) + "    "));
        const CtlRun version = RunCtl({QStringLiteral("--version")});
        QCOMPARE(version.exit_code, 0);
        QVERIFY(version.out.startsWith("talvo4ctl "));
        // Beside --json, wherever it stands, they stay text: no object.
        QCOMPARE(RunCtl({"--json", "--help"}).out, run.out);
        QCOMPARE(RunCtl({"--version", "--json"}).out, version.out);
    }

    // Every mistake is found before the device is opened: exit 2, and the
    // trace shows no report.
    void usageErrorsSendNothing_data() {
        QTest::addColumn<QStringList>("arguments");
        const auto row = [](const char* name, QStringList arguments) {
            QTest::newRow(name) << arguments;
        };
        row("no command", {});
        row("unknown command", {"erase"});
        row("unknown option", {"--fast", "list"});
        row("list with words", {"list", "all"});
        row("key without keys", {"key"});
        row("button without a key", {"key", "Command7"});
        row("button number out of range", {"key", "Command37"});
        row("code outside the key table", {"key", "0x02"});
        row("decimal code outside the table", {"key", "2"});
        row("one bad key among good ones", {"key", "5", "0x99", "Command1"});
        row("a word that is no key", {"key", "upward"});
        row("slot without action", {"slot"});
        row("slot 0", {"slot", "rec", "0"});
        row("slot 5", {"slot", "show", "5"});
        row("slot not a number", {"slot", "show", "one"});
        row("slot live with a number", {"slot", "live", "1"});
        row("capture without output", {"capture"});
        row("capture to an unknown type", {"capture", "-o", "picture.jpg"});
        row("capture into a missing folder", {"capture", "-o", "/nonexistent/folder/p.bmp"});
        row("output for another command", {"key", "5", "-o", "x.bmp"});
        row("format for another command", {"key", "5", "--format", "png"});
        row("format that is none", {"capture", "-o", "-", "--format", "jpg"});
        row("format against the file name", {"capture", "-o", "x.bmp", "--format", "png"});
        row("timing without action", {"timing"});
        row("timing unknown action", {"timing", "erase"});
        row("timing set without values", {"timing", "set"});
        row("timing set unknown name", {"timing", "set", "h3pos=1"});
        row("timing set 12-bit above range", {"timing", "set", "h2pos=4096"});
        row("timing set 8-bit above range", {"timing", "set", "hsw=256"});
        row("timing set negative", {"timing", "set", "vst=-1"});
        row("timing set not a number", {"timing", "set", "vst=abc"});
        row("timing set without value", {"timing", "set", "vst"});
        row("timing set one bad among good", {"timing", "set", "h2pos=300", "clamp_width=300"});
        row("timing load missing file", {"timing", "load", "/nonexistent/timing.bin"});
        row("timing save into a missing folder", {"timing", "save", "/nonexistent/f/t.bin"});
        row("rom without action", {"rom"});
        row("rom write without file", {"rom", "write"});
        row("rom write missing file", {"rom", "write", "/nonexistent/rom.bin"});
        row("rom write a folder", {"rom", "write", "/"});
        row("fault without simulate", {"--simulate-fault", "fpga:1", "list"});
        row("wait that is no number", {"--wait", "soon", "key", "5"});
        row("wait negative", {"--wait", "-1", "key", "5"});
        row("wait longer than a day", {"--wait", "86401", "key", "5"});
        row("wait not a number at all", {"--wait", "nan", "key", "5"});
        row("wait for list", {"--wait", "1", "list"});
    }
    void usageErrorsSendNothing() {
        QFETCH(QStringList, arguments);
        // The fault case must stay without --simulate.
        const bool fault_row = arguments.contains(QStringLiteral("--simulate-fault"));
        const CtlRun run = RunCtl(fault_row ? arguments : Simulated(arguments));
        QCOMPARE(run.exit_code, 2);
        QVERIFY(run.sent().empty());
        QVERIFY(run.err.startsWith("talvo4ctl: "));
    }

    void emptyOrUnreadableInputFilesSendNothing() {
        QTemporaryDir dir;
        const QString empty = dir.filePath(QStringLiteral("empty.bin"));
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        for (const QStringList& arguments :
             {QStringList{"rom", "write", empty}, QStringList{"timing", "load", empty}}) {
            const CtlRun run = RunCtl(Simulated(arguments));
            QCOMPARE(run.exit_code, 2);
            QVERIFY(run.sent().empty());
        }
    }

    void badSimulatedFaultIsAUsageError() {
        const CtlRun run = RunCtl({"--simulate", "--simulate-fault", "melt:1", "list"});
        QCOMPARE(run.exit_code, 2);
        QVERIFY(run.said(QStringLiteral("vanish-after:N")));
    }

    // Codes in hex and decimal, button names in any case and the names
    // people use (a caption before a decimal code), one report and one read
    // each, in the order given.
    void keysGoOutInOrder() {
        const CtlRun run =
            RunCtl(Simulated({"key", "Command22", "0x05", "24", "command18", "up", "15"}));
        QCOMPARE(run.exit_code, 0);
        const auto sent = run.sent();
        QCOMPARE(sent.size(), size_t(6));
        const uint8_t codes[] = {0x03, 0x05, 0x18, 0x00, 0x0C, 0x15};
        for (size_t i = 0; i < sent.size(); ++i) {
            QCOMPARE(sent[i].size(), 9);
            QCOMPARE(uint8_t(sent[i][1]), 0x13);
            QCOMPARE(uint8_t(sent[i][2]), codes[i]);
        }
        QCOMPARE(run.err.count("\n< "), 6);
    }

    // The table needs no device: one line a key, name, caption, code, button.
    void keysListsTheTable() {
        const CtlRun run = RunCtl({QStringLiteral("keys")});
        QCOMPARE(run.exit_code, 0);
        QCOMPARE(run.out.count('\n'), 32);
        QVERIFY(run.out.contains("\nup\t(arrow up)\t0x0c\tCommand21\n"));
    }

    void quietSaysNothingOnSuccess() {
        const CtlRun run = RunCtl({"--simulate", "--quiet", "key", "5"});
        QCOMPARE(run.exit_code, 0);
        QVERIFY(run.err.isEmpty());
        QVERIFY(run.out.isEmpty());
    }

    void listsTheSimulatedDevice() {
        const CtlRun run = RunCtl({"--simulate", "list"});
        QCOMPARE(run.exit_code, 0);
        QVERIFY(run.out.contains("sim:talvo-4"));
        QVERIFY(run.out.contains("input report 65 bytes, output report 9 bytes"));
    }

    // A device that is missing, or there but not to be opened: exit 3 and
    // why, for list and for a command alike; no report goes out.
    void refusedDevice_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("list_says");
        QTest::addColumn<QStringList>("key_says");
        const QStringList advice{"70-talvo4.rules",
                                 QStringLiteral("sudo tee %1").arg(talvo::kUdevRulePath),
                                 "sudo udevadm control --reload-rules && sudo udevadm trigger "
                                 "--subsystem-match=hidraw"};
        const auto refuse = [](const char* reason) {
            return QStringList{"--simulate-fault", QStringLiteral("refuse:") + reason};
        };
        QTest::newRow("not found")
            << QStringList{"--device", "sim:other"} << QStringList{"no TALVO-4 found"}
            << QStringList{"sim:other is not a TALVO-4 interface that is present now"};
        QTest::newRow("no permission")
            << refuse("no-permission")
            << QStringList{"sim:talvo-4\tcannot be opened: no permission"} + advice
            << QStringList{"the TALVO-4 at sim:talvo-4 is present, but this user may not open "
                           "it"} + advice;
        QTest::newRow("in use") << refuse("busy")
                                << QStringList{"sim:talvo-4\tin use by another program"}
                                << QStringList{
                                       "talvo4ctl: the TALVO-4 at sim:talvo-4 is in use "
                                       "by another program"};
        QTest::newRow("gone") << refuse("gone")
                              << QStringList{"sim:talvo-4\tcannot be opened: gone"}
                              << QStringList{"the TALVO-4 at sim:talvo-4 cannot be opened: gone"};
    }
    void refusedDevice() {
        QFETCH(QStringList, options);
        QFETCH(QStringList, list_says);
        QFETCH(QStringList, key_says);
        for (const bool listing : {true, false}) {
            const CtlRun run = RunCtl(
                Simulated(options + (listing ? QStringList{"list"} : QStringList{"key", "5"})));
            QCOMPARE(run.exit_code, 3);
            QVERIFY(run.sent().empty());
            const QByteArray all = run.out + run.err;
            for (const QString& text : listing ? list_says : key_says)
                QVERIFY2(all.contains(text.toUtf8()), qPrintable(text));
        }
    }

    // Two programs on one simulated TALVO-4. While the first holds it, the
    // others are refused with its name and send nothing, and the first
    // finishes undisturbed; a waiting one takes the device when the first
    // is done; Ctrl+C ends a wait; a killed holder leaves no lock behind.
    void oneProgramAtATime() {
        QTemporaryDir runtime;  // where their lock is, shared by all of them
        const auto start = [&runtime](const QStringList& arguments) {
            return std::make_unique<RunningCtl>(Simulated(arguments), runtime.path());
        };
        // Twelve keys with answers 100 ms late hold the device over a second.
        const QStringList slow_keys =
            QStringList{"--simulate-fault", "answer-delay:100", "key"} + QStringList(12, "5");
        const QByteArray key_sent = "> 00 13 05";
        auto first = start(slow_keys);
        QVERIFY(first->waitForError(key_sent));
        const QString in_use = QStringLiteral("in use by talvo4ctl (pid %1)").arg(first->pid());

        auto waiter = start({"--wait", "20", "key", "6"});
        auto refused = start({"key", "5"});
        auto listed = start({"list"});
        auto timed_out = start({"--wait", "0.3", "key", "5"});
        QVERIFY(waiter->waitForError("waiting up to 20 s for the TALVO-4: " + in_use.toUtf8()));
        const CtlRun refusal = refused->finish();
        QCOMPARE(refusal.exit_code, 3);
        QVERIFY(refusal.sent().empty());
        QVERIFY(refusal.said("talvo4ctl: the TALVO-4 at sim:talvo-4 is " + in_use));
        const CtlRun listing = listed->finish();
        QCOMPARE(listing.exit_code, 3);
        QVERIFY(listing.out.contains("sim:talvo-4\tinput report 65 bytes, output report 9 bytes\t" +
                                     in_use.toUtf8()));
        const CtlRun time_out = timed_out->finish();
        QCOMPARE(time_out.exit_code, 3);
        QVERIFY(time_out.sent().empty());
        QVERIFY(time_out.said("talvo4ctl: the TALVO-4 at sim:talvo-4 is " + in_use));
        QVERIFY(time_out.said(QStringLiteral("gave up after waiting 0.3 s")));

        const CtlRun held = first->finish();
        QCOMPARE(held.exit_code, 0);
        QCOMPARE(held.sent().size(), size_t(12));
        const CtlRun waited = waiter->finish();
        QCOMPARE(waited.exit_code, 0);
        QVERIFY(waited.said(QStringLiteral("got the TALVO-4 at sim:talvo-4 after")));
        QCOMPARE(waited.sent().size(), size_t(1));

        auto killed = start(slow_keys);
        QVERIFY(killed->waitForError(key_sent));
        auto interrupted = start({"--wait", "20", "key", "5"});
        QVERIFY(interrupted->waitForError("waiting up to"));
        interrupted->interrupt();
        const CtlRun interruption = interrupted->finish();
        QCOMPARE(interruption.exit_code, 130);
        QVERIFY(interruption.said(QStringLiteral("interrupted while waiting")));
        QVERIFY(interruption.sent().empty());
        killed->kill();
        QCOMPARE(RunCtl(Simulated({"key", "5"}), 10000, runtime.path()).exit_code, 0);
    }

    // Ctrl+C pressed before the first report (while the device was opened,
    // or in the last look of --wait): exit 130 and nothing sent; a ROM
    // write erases nothing, a recording starts on no slot.
    void ctrlCBeforeAnythingWasSent_data() {
        QTest::addColumn<QStringList>("words");
        QTest::newRow("rom write") << QStringList{"rom", "write"};
        QTest::newRow("slot rec") << QStringList{"slot", "rec", "1"};
    }
    void ctrlCBeforeAnythingWasSent() {
        QFETCH(QStringList, words);
        QTemporaryDir dir;
        const QString rom = dir.filePath(QStringLiteral("rom.bin"));
        QVERIFY(talvo::testing::WriteFile(rom, QByteArray(64, 'r')));
        if (words[0] == QLatin1String("rom")) words << rom;
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir.path()));
        talvo::cli::Interrupts interrupts;
        interrupts.press();
        FILE* err = std::tmpfile();
        const int exit_code = talvo::cli::RunTool(
            QStringList{"talvo4ctl", "--simulate", "--trace"} + words, err, err, interrupts);
        runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
        std::rewind(err);
        char said[4096] = {};
        const bool sent = std::fread(said, 1, sizeof said - 1, err) > 0 && std::strstr(said, "> ");
        std::fclose(err);
        QCOMPARE(exit_code, 130);
        QVERIFY2(!sent && std::strstr(said, "nothing was sent"), said);
    }

    // --wait waits through a device this user may not open yet (the udev
    // rule may be applied meanwhile), and names that reason at its end.
    void waitWaitsThroughNoPermission() {
        const CtlRun run = RunCtl(Simulated(
            {"--simulate-fault", "refuse:no-permission", "--json", "--wait", "0.3", "key", "5"}));
        QCOMPARE(run.exit_code, 3);
        QVERIFY(run.sent().empty());
        QVERIFY2(run.said("waiting up to 0.3 s for the TALVO-4: no permission to open it"),
                 run.err.constData());
        QVERIFY(run.said(QStringLiteral("gave up after waiting 0.3 s")));
        QCOMPARE(run.object().value("reason").toString(), QStringLiteral("no-permission"));
    }

    // A TALVO-4 interface whose reports cannot carry a command (the report ID
    // and its eight bytes out, one byte of answer in) is passed over before
    // anything is sent: the link would drop every command to it.
    void refusesReportsNoCommandFitsIn_data() {
        QTest::addColumn<int>("output_bytes");  // data bytes of each report
        QTest::addColumn<int>("input_bytes");
        QTest::addColumn<bool>("numbered");
        QTest::addColumn<QByteArray>("why");  // empty: it opens
        QTest::newRow("the TALVO-4's own lengths") << 8 << 64 << false << QByteArray();
        QTest::newRow("output report one byte short for a command")
            << 7 << 64 << false << QByteArray("input report 65 bytes, output report 8 bytes");
        QTest::newRow("an answer of one byte") << 8 << 1 << false << QByteArray();
        QTest::newRow("numbered reports")
            << 8 << 64 << true << QByteArray("its reports carry report IDs");
    }
    void refusesReportsNoCommandFitsIn() {
        QFETCH(int, output_bytes);
        QFETCH(int, input_bytes);
        QFETCH(bool, numbered);
        QFETCH(QByteArray, why);
        const bool opens = why.isEmpty();
        const auto own = talvo::sim::TalvoReportDescriptor();
        std::vector<uint8_t> descriptor(own.begin(), own.end());
        QCOMPARE(descriptor[14], uint8_t(0x95));  // the input report's count
        QCOMPARE(descriptor[20], uint8_t(0x95));  // the output report's count
        descriptor[15] = uint8_t(input_bytes);
        descriptor[21] = uint8_t(output_bytes);
        if (numbered) descriptor.insert(descriptor.begin() + 7, {0x85, 0x01});  // Report ID 1
        talvo::sim::TalvoModel talvo;
        talvo::sim::SimPlatform platform;
        platform.addInterface({"sim:talvo-4", 0x17A7, 0x0002, descriptor, false, &talvo});
        FILE* err = std::tmpfile();
        talvo::cli::Console console(err, err, true);
        talvo::cli::Session session(platform, {}, console);

        QCOMPARE(session.connect(), opens);
        std::rewind(err);
        char said[256] = {};
        QCOMPARE(std::fgets(said, sizeof said, err) != nullptr, !opens);
        std::fclose(err);
        if (!opens) {
            QVERIFY2(QByteArray(said).contains("not a TALVO-4 command interface (" + why), said);
            // Its command interface may yet appear: --wait goes on waiting.
            QVERIFY(!session.open()->lasting);
        }
        QVERIFY(talvo.reports().empty());
    }

    // The word and ok for each exit status, and a finer reason only where
    // it goes with the exit status.
    void reasons_data() {
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<std::optional<Reason>>("finer");
        QTest::addColumn<QString>("word");
        const auto row = [](const char* word, int exit_code, std::optional<Reason> finer = {}) {
            QTest::newRow(word) << exit_code << finer << QString::fromLatin1(word);
        };
        row("done", 0);
        row("failed", 1);
        row("usage", 2);
        row("no-device", 3);
        row("no-permission", 3, Reason::NoPermission);
        row("busy", 3, Reason::Busy);
        row("device-lost", 4);
        row("device-silent", 4, Reason::DeviceSilent);
        row("no-answer", 4, Reason::NoAnswer);
        row("interrupted", 130);
        QTest::newRow("a busy device does not make a failure busy")
            << 1 << std::optional(Reason::Busy) << "failed";
    }
    void reasons() {
        QFETCH(int, exit_code);
        QFETCH(std::optional<Reason>, finer);
        talvo::cli::Report report;
        report.insert(QStringLiteral("fact"), 1);
        if (finer) report.setReason(*finer);
        const QJsonObject object = report.object(exit_code, QStringLiteral("why"));
        QTEST(object.value("reason").toString(), "word");
        QCOMPARE(object.value("exit_code").toInt(), exit_code);
        QCOMPARE(object.value("ok").toBool(), exit_code == 0);
        QCOMPARE(object.contains("error"), exit_code != 0);
        QCOMPARE(object.value("fact").toInt(), 1);
    }

    // How a silent device ends reads from the operation's ending.
    void deviceWentTakesTheEnding() {
        talvo::cli::Report report;
        QCOMPARE(talvo::cli::DeviceWentExit(report, talvo::Ending::DeviceSilent), 4);
        QCOMPARE(report.object(4, {}).value("reason").toString(), QStringLiteral("device-silent"));
    }

    // --json: one object on standard output and nothing else, with the
    // command's facts, on every way out.
    void jsonResults_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QByteArray>("facts");
        const auto row = [](const char* name, QStringList arguments, int exit_code,
                            const char* reason, QByteArray facts = "{}") {
            QTest::newRow(name) << arguments << exit_code << reason << facts;
        };
        row("list", {"list"}, 0, "done",
            R"({"interfaces":[{"path":"sim:talvo-4","input_report_length":65,)"
            R"("output_report_length":9,"state":"ready","in_use_by":null}]})");
        row("list of a held device", {"--simulate-fault", "refuse:busy", "list"}, 3, "busy",
            R"({"interfaces":[{"state":"busy"}]})");
        row("keys sent", {"key", "up", "5"}, 0, "done",
            R"({"keys":[{"name":"up","code":12},{"name":"05","code":5}]})");
        row("keys before the device vanished", {"--simulate-fault", "vanish-after:1", "key", "5"},
            4, "device-lost", R"({"keys":[]})");
        row("keys the device stalls every time", {"--simulate-fault", "stall-from:0", "key", "5"},
            4, "write-error", R"({"keys":[]})");
        row("keys past a composite device's keyboard",
            {"--simulate-fault", "keyboard-first", "key", "5"}, 0, "done",
            R"({"keys":[{"name":"05","code":5}]})");
        row("list of a composite device", {"--simulate-fault", "keyboard-first", "list"}, 0, "done",
            R"({"interfaces":[{"path":"sim:talvo-4-keyboard","input_report_length":9,)"
            R"("output_report_length":2,"state":"other-interface"},{"state":"ready"}]})");
        row("slot rec", {"slot", "rec", "3"}, 0, "done", R"({"action":"rec","slot":3})");
        row("slot live", {"slot", "live"}, 0, "done", R"({"action":"live","slot":null})");
        row("words that do not parse", {"--fast", "list"}, 2, "usage");
        row("words that parse", {"key", "0x99"}, 2, "usage");
        row("no device", {"--device", "sim:other", "key", "5"}, 3, "no-device");
        row("no permission", {"--simulate-fault", "refuse:no-permission", "key", "5"}, 3,
            "no-permission");
        row("in use", {"--simulate-fault", "refuse:busy", "slot", "live"}, 3, "busy");
    }
    void jsonResults() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exit_code);
        QFETCH(QByteArray, facts);
        const CtlRun run = RunCtl(QStringList{"--simulate", "--quiet", "--json"} + arguments);
        QCOMPARE(run.exit_code, exit_code);
        const QJsonObject object = run.object();
        QVERIFY2(!object.isEmpty(), run.out.constData());
        QTEST(object.value("reason").toString(), "reason");
        QCOMPARE(object.value("exit_code").toInt(), exit_code);
        QCOMPARE(object.value("ok").toBool(), exit_code == 0);
        // Said on standard error as ever, and kept in the object.
        QCOMPARE(object.value("error").toString().toUtf8(), run.err.trimmed());
        QVERIFY2(talvo::testing::Holds(object, QJsonDocument::fromJson(facts).object()),
                 run.out.constData());
    }

    // Standard output that takes nothing (a full disk): exit 1 and why on
    // standard error, for results and the JSON object alike.
    void resultThatCannotBeWritten_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("json") << QStringList{"--simulate", "--json", "timing", "show"};
        QTest::newRow("plain") << QStringList{"--simulate", "timing", "show"};
    }
    void resultThatCannotBeWritten() {
        QFETCH(QStringList, arguments);
        const CtlRun run = RunCtl(arguments, 60000, {}, QStringLiteral("/dev/full"));
        QCOMPARE(run.exit_code, 1);
        QVERIFY2(run.said(QStringLiteral("could not be written to standard output")),
                 run.err.constData());
    }

    void keysTableAsJson() {
        const QJsonArray table = RunCtl({"--json", "keys"}).object().value("keys").toArray();
        QCOMPARE(table.size(), 32);
        QVERIFY(table.contains(QJsonObject{
            {"name", "up"}, {"caption", "(arrow up)"}, {"code", 0x0C}, {"button", "Command21"}}));
    }

    // Keys to a device that vanishes: exit 4, saying how far it got.
    void lostDeviceDuringKeys_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::newRow("vanishes") << "vanish-after:2"
                                  << "vanished";
        QTest::newRow("stops taking reports") << "stall-from:2"
                                              << "did not take a report (write error: Broken pipe";
    }
    void lostDeviceDuringKeys() {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        const CtlRun run = RunCtl(
            Simulated({"--simulate-fault", fault, "key", "5", "6", "7", "24", "64", "73"}), 20000);
        QVERIFY(run.finished);
        QCOMPARE(run.exit_code, 4);
        QVERIFY(run.said(said));
        QVERIFY(run.said(QStringLiteral("keys sent before it")));
        QVERIFY(run.sent().size() < 6);
    }

    // A silent device ends such a command the same way; only the words
    // differ. Said here on the device's virtual clock rather than by
    // waiting out three one-second reads through a real process.
    void silentDeviceIsSaidSo() {
        talvo::sim::TalvoModel talvo;
        talvo.clock.makeVirtual();
        talvo.setSilent(true);
        talvo::sim::SimPlatform platform(talvo);
        talvo::DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        for (int i = 0; i < talvo::DeviceLink::kSilentReadsForLost; ++i) link.exchange();
        QVERIFY(talvo::cli::LostDeviceText(link).contains(QStringLiteral("fell silent")));
    }
};

TALVO_TEST_GUILESS_MAIN(CtlBasicsTest)
#include "ctl_basics_test.moc"
