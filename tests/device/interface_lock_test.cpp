// The lock on a TALVO-4's node, shown on plain files: whether it is held is
// told without taking it, a lock the system cannot give is no holder, and
// the holder search never names this process.

#include "tests/support/test_main.h"

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QProcess>
#include <QTemporaryDir>
#include <cerrno>
#include <cstddef>
#include <functional>
#include <memory>
#include <thread>

#include "device/hidapi_node.h"
#include "device/interface_lock.h"

using namespace talvo;

namespace {

// From now on every flock(2) of the calling thread fails with `error`; the
// filter ends with the thread.
bool FailFlockInThisThread(int error) {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_flock, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | (uint32_t(error) & SECCOMP_RET_DATA)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    sock_fprog program{uint16_t(std::size(filter)), filter};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Runs `check` on a thread of its own whose flock calls all fail with
// `error`; false when the filter could not be set.
bool WithFlockFailing(int error, const std::function<void()>& check) {
    bool filtered = false;
    std::thread([&] {
        filtered = FailFlockInThisThread(error);
        if (filtered) check();
    }).join();
    return filtered;
}

enum class Keeper { None, Opens, Locks };

struct Stop {
    void operator()(QProcess* process) const {
        process->kill();
        process->waitForFinished();
        delete process;
    }
};
using Process = std::unique_ptr<QProcess, Stop>;

// Another program that keeps `path` open, or holds its flock, until the
// test ends.
Process StartKeeper(Keeper keeper, const QString& path) {
    if (keeper == Keeper::None) return nullptr;
    Process process(new QProcess);
    if (keeper == Keeper::Opens) {
        process->setStandardInputFile(path);
        process->start(QStringLiteral("sleep"), {QStringLiteral("60")});
    } else {
        // The shell becomes the sleep that keeps the locked descriptor.
        process->start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                              QStringLiteral("exec 9<\"$0\" && flock 9 && "
                                                             "exec sleep 60"),
                                              path});
    }
    if (!process->waitForStarted()) return nullptr;
    return process;
}

}  // namespace

class InterfaceLockTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        path_ = dir_->filePath(QStringLiteral("hidraw0"));
        QFile file(path_);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    // Taking the lock to look would make the device busy for a program that
    // opens it in that moment: the probe reads the table of locks, and
    // never calls flock where there is one.
    void probeTellsHeldWithoutTakingTheLock_data() {
        QTest::addColumn<Keeper>("keeper");
        QTest::addColumn<OpenRefusal>("refusal");
        QTest::newRow("free") << Keeper::None << OpenRefusal::None;
        QTest::newRow("held by another program") << Keeper::Locks << OpenRefusal::Busy;
    }
    void probeTellsHeldWithoutTakingTheLock() {
        QFETCH(Keeper, keeper);
        const auto other = StartKeeper(keeper, path_);
        const std::string path = path_.toStdString();
        if (keeper == Keeper::Locks) QTRY_COMPARE(LockIsHeld(path), std::optional(true));
        OpenRefusal probed = OpenRefusal::Other;
        QVERIFY(WithFlockFailing(EPERM, [&] { probed = hidapi_node::ProbeOpen(path); }));
        QTEST(probed, "refusal");
    }

    // Only a lock another program holds is "in use"; any other failure is
    // reported as the error it is.
    void lockErrorsAreNoHolder_data() {
        QTest::addColumn<int>("flockError");
        QTest::addColumn<int>("reported");
        QTest::newRow("held elsewhere") << EWOULDBLOCK << 0;
        QTest::newRow("no locks left") << ENOLCK << ENOLCK;
    }
    void lockErrorsAreNoHolder() {
        QFETCH(int, flockError);
        bool locked = true;
        int error = -1;
        QVERIFY(WithFlockFailing(flockError, [&] {
            const LockAttempt attempt = LockExclusively(path_.toStdString());
            locked = attempt.lock != nullptr;
            error = attempt.error;
        }));
        QVERIFY(!locked);
        QTEST(error, "reported");
    }

    // Where the table names no holder, the search looks at open files; this
    // process has the node open itself to try the lock, and is never named.
    void holderSearchNeverNamesItself_data() {
        QTest::addColumn<Keeper>("keeper");
        QTest::newRow("only this process has it open") << Keeper::None;
        QTest::newRow("another program has it open") << Keeper::Opens;
    }
    void holderSearchNeverNamesItself() {
        QFETCH(Keeper, keeper);
        const int own = ::open(path_.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
        QVERIFY(own >= 0);
        const auto other = StartKeeper(keeper, path_);
        const auto holder = FindLockHolder(path_.toStdString());
        ::close(own);
        if (!other) {
            QVERIFY(!holder);
            return;
        }
        QVERIFY(holder);
        QCOMPARE(holder->pid, int(other->processId()));
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;
};

TALVO_TEST_GUILESS_MAIN(InterfaceLockTest)
#include "interface_lock_test.moc"
