// The sleep lock of the ROM write against a stand-in of logind on a private
// bus of the test's own: what is asked for, that the lock stands from before
// the erase until the verdict and is let go however the write ends, and
// that the write goes on without a bus or without logind.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QLineEdit>
#include <QMutex>
#include <QProcess>
#include <QTest>
#include <QThread>

#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/sleep_inhibitor.h"
#include "tests/rom/rom_test_support.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

struct InhibitCall {
    QString what, who, why, mode;
};

// Answers Inhibit as logind does: with the write end of a pipe, whose read
// end it keeps, so that it sees the lock go when every copy is closed.
// Lives in a thread of its own, since the caller blocks while it waits.
class Login1StandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    ~Login1StandIn() override {
        if (read_end_ >= 0) ::close(read_end_);
    }
    std::vector<InhibitCall> calls() const {
        QMutexLocker lock(&mutex_);
        return calls_;
    }
    void setRefusing(bool refusing) {
        QMutexLocker lock(&mutex_);
        refusing_ = refusing;
    }
    // Whether the last lock handed out is still open somewhere else.
    bool lockHeld() const { return !hungUpWithin(0); }
    bool lockReleasedWithin(int ms) const { return hungUpWithin(ms); }

  public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode) {
        QMutexLocker lock(&mutex_);
        calls_.push_back({what, who, why, mode});
        if (refusing_) {
            sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
            return {};
        }
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return {};
        if (read_end_ >= 0) ::close(read_end_);
        read_end_ = ends[0];
        QDBusUnixFileDescriptor handed(ends[1]);  // a copy of its own
        ::close(ends[1]);
        return handed;
    }

  private:
    bool hungUpWithin(int ms) const {
        QMutexLocker lock(&mutex_);
        if (read_end_ < 0) return true;
        pollfd end{read_end_, POLLIN, 0};
        return ::poll(&end, 1, ms) == 1 && (end.revents & (POLLHUP | POLLIN));
    }

    mutable QMutex mutex_;
    std::vector<InhibitCall> calls_;
    bool refusing_ = false;
    int read_end_ = -1;
};

// A bus of the test's own that lets anyone own a name and call anything.
QByteArray BusConfig(const QString& socket) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           QFile::encodeName(socket) +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kStandInConnection = QStringLiteral("login1-stand-in");

}  // namespace

class SleepInhibitorTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QProcess bus_daemon_;
    QString address_;
    QThread stand_in_thread_;
    Login1StandIn* stand_in_ = nullptr;

    QDBusConnection standInBus() { return QDBusConnection(kStandInConnection); }
    size_t calls() const { return stand_in_->calls().size(); }

  private slots:
    void initTestCase() {
        const QString config = dir_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(BusConfig(dir_.filePath(QStringLiteral("system_bus_socket"))));
        file.close();
        bus_daemon_.start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                           QStringLiteral("--print-address")});
        QVERIFY2(bus_daemon_.waitForStarted(10000), "dbus-daemon did not start");
        for (int i = 0; i < 100 && !bus_daemon_.canReadLine(); ++i)
            bus_daemon_.waitForReadyRead(100);
        address_ = QString::fromUtf8(bus_daemon_.readLine()).trimmed();
        QVERIFY2(!address_.isEmpty(), "dbus-daemon gave no address");
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());

        stand_in_ = new Login1StandIn;
        stand_in_->moveToThread(&stand_in_thread_);
        stand_in_thread_.start();
        QDBusConnection bus = QDBusConnection::connectToBus(address_, kStandInConnection);
        QVERIFY(bus.isConnected());
        QVERIFY(bus.registerObject(QStringLiteral("/org/freedesktop/login1"), stand_in_,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(kService));
    }
    void cleanupTestCase() {
        QDBusConnection::disconnectFromBus(kStandInConnection);
        stand_in_thread_.quit();
        stand_in_thread_.wait(5000);
        delete stand_in_;
        bus_daemon_.terminate();
        bus_daemon_.waitForFinished(5000);
    }
    void init() {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8());
        stand_in_->setRefusing(false);
    }

    void asksForABlockingSleepAndIdleLock() {
        const size_t before = calls();
        {
            SleepInhibitor lock(QStringLiteral("talvo4ctl"), QStringLiteral("a test"));
            QVERIFY2(lock.held(), qPrintable(lock.failure()));
            QVERIFY(lock.failure().isEmpty());
            const auto all = stand_in_->calls();
            QCOMPARE(all.size(), before + 1);
            QCOMPARE(all.back().what, QStringLiteral("sleep:idle"));
            QCOMPARE(all.back().who, QStringLiteral("talvo4ctl"));
            QCOMPARE(all.back().why, QStringLiteral("a test"));
            QCOMPARE(all.back().mode, QStringLiteral("block"));
            QVERIFY(stand_in_->lockHeld());
        }
        QVERIFY(stand_in_->lockReleasedWithin(5000));

        SleepInhibitor early;
        QVERIFY(early.held() && stand_in_->lockHeld());
        early.release();
        QVERIFY(!early.held());
        QVERIFY(stand_in_->lockReleasedWithin(5000));
    }

    // No lock, and one line that says why, for the terminal tool to print.
    void goesOnWithoutALock_data() {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no system bus") << "no bus"
                                       << "no system bus at ";
        QTest::newRow("no logind on the bus") << "no logind"
                                              << "no logind on the system bus";
        QTest::newRow("logind refuses") << "refused"
                                        << "logind refused the lock: ";
    }
    void goesOnWithoutALock() {
        QFETCH(QString, setting);
        QFETCH(QString, reason);
        if (setting == QLatin1String("no bus"))
            qputenv("DBUS_SYSTEM_BUS_ADDRESS",
                    "unix:path=" + QFile::encodeName(dir_.filePath(QStringLiteral("none"))));
        if (setting == QLatin1String("no logind"))
            QVERIFY(standInBus().unregisterService(kService));
        if (setting == QLatin1String("refused")) stand_in_->setRefusing(true);
        const SleepInhibitor lock;
        if (setting == QLatin1String("no logind")) QVERIFY(standInBus().registerService(kService));
        QVERIFY(!lock.held());
        QVERIFY2(lock.failure().startsWith(reason), qPrintable(lock.failure()));
        QVERIFY(!lock.failure().contains(QLatin1Char('\n')));
    }

    // Through the window: taken before the first erase, still held when the
    // verdict is shown, released when the write is over, also when the main
    // window was closed meanwhile.
    void windowHoldsTheLockAcrossTheWrite_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("sums match") << "match";
        QTest::newRow("sums differ") << "differ";
        QTest::newRow("main window closed during the transfer") << "closed";
    }
    void windowHoldsTheLockAcrossTheWrite() {
        QFETCH(QString, ending);
        QTemporaryDir files;
        const QByteArray file = Pattern(40000);
        Rig rig;
        if (ending == QLatin1String("differ")) rig.talvo.rom.failWriteAt(kRomAddress + 7);
        const size_t before = calls();
        int reports = 0;
        bool held_at_erase = false, held_in_transfer = false, held_at_verdict = false;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            ++reports;
            if (reports == 1) held_at_erase = calls() == before + 1 && stand_in_->lockHeld();
            if (reports == 100) {
                held_in_transfer = stand_in_->lockHeld();
                if (ending == QLatin1String("closed"))
                    QTimer::singleShot(0, &rig.main(), [&] { rig.main().close(); });
            }
            if (reports > 10000) SetProgramEnding(true);  // bounds a runaway write
        };
        QObject::connect(rig.main().Text1, &QLineEdit::textChanged, [&](const QString& text) {
            if (text.contains(QLatin1String(" file="))) held_at_verdict = stand_in_->lockHeld();
        });
        rig.dialogs.answers.push_back(ImageFile(files, file));
        rig.main().Command10_Click();

        QVERIFY(reports <= 10000);
        QVERIFY(held_at_erase);
        QVERIFY(held_in_transfer);
        // A close waits for the write, which ends with its verdict.
        QVERIFY(held_at_verdict);
        QCOMPARE(ProgramEnding(), ending == QLatin1String("closed"));
        QCOMPARE(rig.main().Text1->text().startsWith(QLatin1String("Write error")),
                 ending == QLatin1String("differ"));
        QCOMPARE(calls(), before + 1);
        QVERIFY(stand_in_->lockReleasedWithin(5000));
    }

    // A machine without logind writes as before, and the window says
    // nothing about the lock it could not get.
    void windowWritesSilentlyWithoutALock() {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS",
                "unix:path=" + QFile::encodeName(dir_.filePath(QStringLiteral("none"))));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        QTemporaryDir files;
        const QByteArray file = Pattern(100);
        Rig rig;
        int reports = 0;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            if (++reports > 1000) SetProgramEnding(true);
        };
        rig.dialogs.answers.push_back(ImageFile(files, file));
        rig.main().Command10_Click();
        QCOMPARE(rig.main().Text1->text(), rom_texts::VerdictText(Sum(file), Sum(file)));
    }
};

TALVO_TEST_MAIN(SleepInhibitorTest)
#include "sleep_inhibitor_test.moc"
