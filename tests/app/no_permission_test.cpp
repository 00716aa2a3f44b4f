// A TALVO-4 that is plugged in but may not be opened by this user, or that
// another program holds: the main window still says it is not connected, but
// its tooltip and one line on standard error say why. Any other reason an
// interface refuses, or no TALVO-4 at all, leaves both as they were.

#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/texts.h"
#include "packaging/udev_rule.h"
#include "tests/app/stderr_capture.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

const QString kDefaultDescription = QStringLiteral("TALVO-4 の接続状態");
const QString kLinePrefix = QStringLiteral("talvo4:");

sim::SimInterface Refusing(sim::TalvoModel& talvo, const std::string& path, OpenRefusal why) {
    sim::SimInterface interface = sim::SimPlatform::TalvoInterface(path, talvo);
    interface.refuses_open = true;
    interface.refusal = why;
    return interface;
}

void VerifyNotConnected(Rig& rig) {
    MainWindow& w = rig.main();
    QCOMPARE(w.Text1->text(), QStringLiteral("ＴＡＬＶＯ－４\u3000No\u3000Ｃｏｎｎｅｃｔ"));
    QCOMPARE(rig.program.DeviceConnected, 0);
    for (QPushButton* b : {w.Command1, w.Command2, w.Command3, w.Command10})
        QVERIFY(!b->isEnabled());
}

}  // namespace

class NoPermissionTest : public QObject {
    Q_OBJECT
  private slots:
    void onlyNoPermissionIsExplained_data() {
        QTest::addColumn<int>("refusal");
        QTest::addColumn<bool>("explained");
        QTest::newRow("no permission") << int(OpenRefusal::NoPermission) << true;
        QTest::newRow("busy") << int(OpenRefusal::Busy) << false;
        QTest::newRow("gone") << int(OpenRefusal::Gone) << false;
        QTest::newRow("other") << int(OpenRefusal::Other) << false;
    }
    void onlyNoPermissionIsExplained() {
        QFETCH(int, refusal);
        QFETCH(bool, explained);
        Rig rig(false);
        const std::string path = "/dev/hidraw7";
        rig.platform.addInterface(Refusing(rig.talvo, path, OpenRefusal(refusal)));
        StderrCapture stderr_capture;
        QVERIFY(stderr_capture.ok());
        VerifyNotConnected(rig);
        const QStringList lines = stderr_capture.lines(kLinePrefix);

        QLineEdit* text = rig.main().Text1;
        const QString description = explained ? texts::kNoPermissionHint : kDefaultDescription;
        QCOMPARE(text->toolTip(), description);
        QCOMPARE(text->accessibleDescription(), description);
        QCOMPARE(text->accessibleName(), QStringLiteral("接続状態"));
        if (!explained) {
            QVERIFY2(lines.isEmpty(), qPrintable(lines.join(QLatin1Char('\n'))));
            return;
        }
        QVERIFY(texts::kNoPermissionHint.contains(QLatin1String(kUdevRuleName)));
        QVERIFY(EncodesInCp932(texts::kNoPermissionHint));
        QVERIFY(texts::kNoPermissionHint.endsWith(QLatin1String("talvo4ctl doctor")));
        QCOMPARE(lines.size(), 1);
        const QString& line = lines.front();
        QVERIFY2(line.contains(QString::fromStdString(path)), qPrintable(line));
        QVERIFY2(line.contains(QString::fromStdString(UdevRuleInstallCommands())),
                 qPrintable(line));
    }

    // The hint names the first TALVO-4 this user may not open, even behind
    // one that refuses for another reason; a TALVO-4 that opens wins over both.
    void firstLockedInterfaceIsNamed() {
        Rig rig(false);
        rig.platform.addInterface(Refusing(rig.talvo, "/dev/hidraw1", OpenRefusal::Busy));
        rig.platform.addInterface(Refusing(rig.talvo, "/dev/hidraw2", OpenRefusal::NoPermission));
        rig.platform.addInterface(Refusing(rig.talvo, "/dev/hidraw3", OpenRefusal::NoPermission));
        StderrCapture stderr_capture;
        VerifyNotConnected(rig);
        const QStringList lines = stderr_capture.lines(kLinePrefix);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().contains(QLatin1String("/dev/hidraw2 ")), qPrintable(lines.front()));
    }

    void openableTalvoIsConnectedWithoutHint() {
        Rig rig(false);
        rig.platform.addInterface(Refusing(rig.talvo, "/dev/hidraw1", OpenRefusal::NoPermission));
        rig.platform.addInterface(sim::SimPlatform::TalvoInterface("/dev/hidraw2", rig.talvo));
        StderrCapture stderr_capture;
        MainWindow& w = rig.main();
        QCOMPARE(w.Text1->text(), QStringLiteral("ＴＡＬＶＯ－４  Ｃｏｎｎｅｃｔ"));
        QCOMPARE(rig.program.DeviceConnected, 1);
        QCOMPARE(w.Text1->toolTip(), kDefaultDescription);
        QVERIFY(stderr_capture.lines(kLinePrefix).isEmpty());
    }

    // Another maker's device that this user may not open is none of ours.
    void otherDevicesAreNotExplained() {
        Rig rig(false);
        sim::SimInterface keyboard{"/dev/hidraw0",           0x046D, 0xC31C, {}, true, nullptr,
                                   OpenRefusal::NoPermission};
        rig.platform.addInterface(keyboard);
        StderrCapture stderr_capture;
        VerifyNotConnected(rig);
        QCOMPARE(rig.main().Text1->toolTip(), kDefaultDescription);
        QVERIFY(stderr_capture.lines(kLinePrefix).isEmpty());
    }

    // The path reaches a terminal: control characters in it must not.
    void controlCharactersInThePathAreMasked() {
        Rig rig(false);
        rig.platform.addInterface(
            Refusing(rig.talvo, "/dev/hid\x1b]0;x\x07raw1", OpenRefusal::NoPermission));
        StderrCapture stderr_capture;
        VerifyNotConnected(rig);
        const QStringList lines = stderr_capture.lines(kLinePrefix);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().contains(QLatin1String("/dev/hid?]0;x?raw1")),
                 qPrintable(lines.front()));
    }

    // The holder's name comes from the process table: any byte.
    void inUseHintNamesWhatIsKnown_data() {
        QTest::addColumn<QByteArray>("program");
        QTest::addColumn<int>("pid");
        QTest::addColumn<QString>("named");
        QTest::newRow("nothing known") << QByteArray() << 0 << QStringLiteral("他のプログラムが");
        QTest::newRow("odd bytes") << QByteArray("a\x1b\xc3\xa9") << 7
                                   << QStringLiteral("他のプログラム a???（プロセス ID 7）が");
    }
    void inUseHintNamesWhatIsKnown() {
        QFETCH(QByteArray, program);
        QFETCH(int, pid);
        QFETCH(QString, named);
        const QString hint = texts::InUseHint({program.toStdString(), pid});
        QVERIFY2(hint.contains(named) && EncodesInCp932(hint), qPrintable(hint));
        QVERIFY(hint.endsWith(QLatin1String("talvo4ctl doctor")));
    }

    // Another process holds the simulated TALVO-4's lock, as talvo4ctl would
    // hold the real one's; once it is killed, the next start-up connects.
    void inUseByAnotherProcessIsExplained() {
        QTemporaryDir folder;
        const std::string lock_file = folder.filePath(QStringLiteral("lock")).toStdString();
        // The shell speaks once flock holds the lock; -o keeps the lock from
        // cat, which ends when its input closes, with this test at the latest.
        QProcess flock;
        flock.start(QStringLiteral("flock"),
                    {QStringLiteral("-no"), QString::fromStdString(lock_file), QStringLiteral("-c"),
                     QStringLiteral("echo; exec cat")});
        QVERIFY(flock.waitForReadyRead());
        const LockHolder holder{"flock", int(flock.processId())};
        {
            Rig rig;
            rig.platform.useLockFile(lock_file);
            StderrCapture stderr_capture;
            VerifyNotConnected(rig);
            const QStringList lines = stderr_capture.lines(kLinePrefix);
            QCOMPARE(rig.main().Text1->toolTip(), texts::InUseHint(holder));
            QCOMPARE(lines.size(), 1);
            QVERIFY2(lines.front().contains(QString::fromStdString(InUseText(holder))),
                     qPrintable(lines.front()));
        }
        flock.kill();
        QVERIFY(flock.waitForFinished());
        Rig rig;
        rig.platform.useLockFile(lock_file);
        QCOMPARE(rig.main().Text1->text(), texts::kConnected);
    }
};

TALVO_TEST_MAIN(NoPermissionTest)
#include "no_permission_test.moc"
