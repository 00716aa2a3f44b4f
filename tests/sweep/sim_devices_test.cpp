// The simulated TALVO-4s' locks and kept states: what one program leaves in
// a device the next one finds, and looking at a lock never takes it.

#include <sys/inotify.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "sim/device_state.h"
#include "sim/sim_platform.h"
#include "tests/support/test_main.h"

using namespace talvo;

namespace {

// One simulated TALVO-4 whose lock and state live in `folder`, as a program
// makes it; `notices` collects what it says.
struct Program {
    explicit Program(const QTemporaryDir& folder) {
        sim::SimInterface interface = sim::SimPlatform::TalvoInterface("sim:talvo-4", talvo);
        interface.lock_file = folder.filePath(QStringLiteral("sim-1.lock")).toStdString();
        interface.state_file = folder.filePath(QStringLiteral("sim-1.state")).toStdString();
        platform.addInterface(interface);
        platform.on_notice = [this](const std::string& line) { notices.push_back(line); };
    }
    sim::TalvoModel talvo;
    sim::SimPlatform platform;
    std::vector<std::string> notices;
};

// Whether anything opened `path` while `look` ran.
template <typename Look>
bool OpenedWhile(const QString& path, Look look) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(watch, path.toLocal8Bit().constData(), IN_OPEN);
    look();
    char event[sizeof(inotify_event) + 256];
    const bool opened = ::read(watch, event, sizeof event) > 0;
    ::close(watch);
    return opened;
}

}  // namespace

class SimDevicesTest : public QObject {
    Q_OBJECT
  private slots:
    // What a program leaves in the device's ROM, timing block and image
    // slots the next finds; a state it cannot read, and --simulate-reset,
    // give a fresh device, the first said in one line.
    void keptState_data() {
        QTest::addColumn<qint64>("cut_to");    // the state file's length then; -1: whole
        QTest::addColumn<QByteArray>("then");  // and what is written after it
        QTest::addColumn<bool>("afresh");
        QTest::addColumn<bool>("kept");
        QTest::newRow("kept") << qint64(-1) << QByteArray() << false << true;
        QTest::newRow("cut short") << qint64(1000) << QByteArray() << false << false;
        QTest::newRow("not ours") << qint64(0) << QByteArray("TALVO4-SIM\n\x01garbage") << false
                                  << false;
        QTest::newRow("started afresh") << qint64(-1) << QByteArray() << true << false;
    }
    void keptState() {
        QFETCH(qint64, cut_to);
        QFETCH(QByteArray, then);
        QFETCH(bool, afresh);
        QFETCH(bool, kept);
        QTemporaryDir folder;
        const sim::TimingModel::Block fresh_block = sim::TimingModel::PlausibleBlock();
        {
            Program first(folder);
            auto lock = first.platform.lockInterface("sim:talvo-4");
            first.talvo.write(std::vector<uint8_t>{0, 0x05, 0, 0x00, 0x80, 0x0E, 0x55, 0xAA, 0x55});
            first.talvo.timing.block()[3] = uint8_t(~fresh_block[3]);
            first.talvo.write(std::vector<uint8_t>{0, 0x17, 0xAA});  // slot 3 recorded
        }
        QFile state(folder.filePath(QStringLiteral("sim-1.state")));
        if (cut_to >= 0) {
            QVERIFY(state.open(QIODevice::ReadWrite) && state.resize(cut_to));
            state.seek(cut_to);
            state.write(then);
            state.close();
        }
        Program second(folder);
        if (afresh) second.platform.startAfresh();
        {
            auto lock = second.platform.lockInterface("sim:talvo-4");
            QCOMPARE(second.talvo.rom.range(0xE8000, 1)[0] == 0xFF, kept);
            QCOMPARE(second.talvo.timing.block() != fresh_block, kept);
            QCOMPARE(second.talvo.capture.image_slots.recorded[2], kept);
        }
        QCOMPARE(second.notices.size(), size_t(!kept && !afresh ? 1 : 0));
        // A fresh device took the unreadable state's place.
        std::string why;
        QVERIFY(sim::LoadDeviceState(state.fileName().toStdString(), second.talvo, why) !=
                sim::StateLoad::Unreadable);
    }

    // Telling whether a device is in use never opens its lock file, and so
    // never holds the lock for a moment, which would show the device busy
    // to another program that opens it just then.
    void lookingLeavesTheLockAlone_data() {
        QTest::addColumn<bool>("held");
        QTest::newRow("free") << false;
        QTest::newRow("held by another program") << true;
    }
    void lookingLeavesTheLockAlone() {
        QFETCH(bool, held);
        QTemporaryDir folder;
        Program program(folder);
        const QString lock_file = folder.filePath(QStringLiteral("sim-1.lock"));
        QFile(lock_file).open(QIODevice::WriteOnly);
        QProcess holder;
        if (held) {
            // The shell speaks once flock holds the lock.
            holder.start(QStringLiteral("flock"),
                         {QStringLiteral("-no"), lock_file, QStringLiteral("-c"),
                          QStringLiteral("echo; exec cat")});
            QVERIFY(holder.waitForReadyRead());
        }
        std::optional<LockHolder> seen;
        QVERIFY(
            !OpenedWhile(lock_file, [&] { seen = program.platform.lockHolder("sim:talvo-4"); }));
        QCOMPARE(seen.has_value(), held);
        if (held) QCOMPARE(seen->pid, int(holder.processId()));
        holder.kill();
        holder.waitForFinished();
    }
};

TALVO_TEST_GUILESS_MAIN(SimDevicesTest)
#include "sim_devices_test.moc"
