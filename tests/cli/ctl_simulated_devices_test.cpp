// Several simulated TALVO-4s, each with its own lock and kept state, driven
// by separate talvo4ctl processes at once, as a bench script drives them.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTemporaryDir>

#include "tests/cli/ctl_runner.h"
#include "tests/support/test_main.h"

using namespace talvo::testing;

namespace {

QStringList OnDevices(const QStringList& arguments) {
    return QStringList{"--simulate", "--simulate-devices", "3"} + arguments;
}

}  // namespace

class CtlSimulatedDevicesTest : public QObject {
    Q_OBJECT
  private slots:
    // Two writes into two devices at once: neither waits for the other or
    // finds its device in use, and afterwards each device's ROM holds the
    // file for another process, while the third kept its own.
    void twoWritesAtOnce() {
        QTemporaryDir runtime;  // the devices' locks and states, shared by every run
        const QString file = runtime.filePath(QStringLiteral("firmware.bin"));
        QFile firmware(file);
        QVERIFY(firmware.open(QIODevice::WriteOnly));
        for (int i = 0; i < 100; ++i) firmware.putChar(char(i * 7 + 3));
        firmware.close();

        const CtlRun listed = RunCtl(OnDevices({"--json", "list"}), 60000, runtime.path());
        QCOMPARE(listed.exit_code, 0);
        QVERIFY(Holds(listed.object().value("interfaces"),
                      QJsonArray{QJsonObject{{"path", "sim:talvo-4"}, {"port", "sim-1"}},
                                 QJsonObject{{"path", "sim:talvo-4-2"}, {"port", "sim-2"}},
                                 QJsonObject{{"path", "sim:talvo-4-3"}, {"port", "sim-3"}}}));

        // Late answers hold the first device for over half a second.
        RunningCtl slow(OnDevices({"--trace", "--simulate-fault", "answer-delay:100", "--device",
                                   "usb:sim-2", "rom", "write", file}),
                        runtime.path());
        QVERIFY(slow.waitForError("> 00 04 00"));
        const CtlRun beside =
            RunCtl(OnDevices({"--device", "usb:sim-3", "--json", "rom", "write", file}), 60000,
                   runtime.path());
        QCOMPARE(beside.exit_code, 0);
        QCOMPARE(slow.finish().exit_code, 0);

        for (const auto& [port, holds] :
             {std::pair{"usb:sim-2", true}, std::pair{"usb:sim-3", true},
              std::pair{"usb:sim-1", false}}) {
            const CtlRun verified =
                RunCtl(OnDevices({"--device", port, "rom", "verify", file}), 60000, runtime.path());
            QCOMPARE(verified.exit_code, holds ? 0 : 1);
        }
    }

    // Options of the simulated devices that cannot be: a usage error, exit 2.
    void badOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        QTest::newRow("no devices") << QStringList{"--simulate", "--simulate-devices", "0"}
                                    << "--simulate-devices takes a number from 1 to 64";
        QTest::newRow("65 devices") << QStringList{"--simulate", "--simulate-devices", "65"}
                                    << "--simulate-devices takes a number from 1 to 64";
        QTest::newRow("no number") << QStringList{"--simulate", "--simulate-devices", "2x"}
                                   << "--simulate-devices takes a number from 1 to 64";
        QTest::newRow("unknown speed") << QStringList{"--simulate", "--simulate-speed", "fast"}
                                       << "--simulate-speed takes usb or instant";
        QTest::newRow("devices without --simulate")
            << QStringList{"--simulate-devices", "2"} << "--simulate-devices needs --simulate";
        QTest::newRow("reset without --simulate")
            << QStringList{"--simulate-reset"} << "--simulate-reset needs --simulate";
    }
    void badOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const CtlRun run = RunCtl(arguments + QStringList{"list"});
        QCOMPARE(run.exit_code, 2);
        QVERIFY2(run.said(says), run.err.constData());
    }

    // The temporary folder is anyone's: a link planted there where the
    // simulated device's lock goes is never followed, and nothing is made
    // or locked where it points.
    void plantedLinksAreNotFollowed() {
        QTemporaryDir temporary;
        const QDir folder(temporary.path());
        QVERIFY(folder.mkdir(QStringLiteral("elsewhere")));
        const QString elsewhere = folder.filePath(QStringLiteral("elsewhere"));
        const QString user = QString::number(::getuid());
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/planted"),
                            folder.filePath(QStringLiteral("talvo4-simulated.lock"))));
        QVERIFY(
            QFile::link(elsewhere, folder.filePath(QStringLiteral("talvo4-simulated-") + user)));

        QProcess ctl;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        environment.insert(QStringLiteral("TMPDIR"), temporary.path());
        ctl.setProcessEnvironment(environment);
        ctl.start(CtlPath(), {"--simulate", "key", "5"});
        QVERIFY(ctl.waitForFinished(60000));
        QVERIFY(QDir(elsewhere).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(ctl.exitCode(), 2);
        QVERIFY(ctl.readAllStandardError().contains("is not a folder of this user's alone"));
    }
};

TALVO_TEST_MAIN(CtlSimulatedDevicesTest)
#include "ctl_simulated_devices_test.moc"
