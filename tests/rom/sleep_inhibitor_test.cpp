// The sleep lock of the ROM write against a stand-in of logind on a private
// bus of the test's own: what is asked for, that the lock stands from before
// the erase until the verdict and is let go however the write ends, and
// that the write goes on without a bus or without logind.

#include <QLineEdit>
#include <QTest>

#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/sleep_inhibitor.h"
#include "tests/rom/rom_test_support.h"
#include "tests/support/login1_stand_in.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

class SleepInhibitorTest : public QObject {
    Q_OBJECT

    std::unique_ptr<StandInSystemBus> bus_;
    Login1StandIn* stand_in_ = nullptr;

    size_t calls() const { return stand_in_->calls().size(); }

  private slots:
    void initTestCase() {
        bus_ = std::make_unique<StandInSystemBus>();
        QVERIFY2(bus_->ok(), "no dbus-daemon with logind's stand-in");
        stand_in_ = &bus_->standIn();
    }
    void cleanupTestCase() { bus_.reset(); }
    void init() {
        bus_->use();
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
        if (setting == QLatin1String("no bus")) bus_->useNoBus();
        if (setting == QLatin1String("no logind")) QVERIFY(bus_->leaveBus());
        if (setting == QLatin1String("refused")) stand_in_->setRefusing(true);
        const SleepInhibitor lock;
        if (setting == QLatin1String("no logind")) QVERIFY(bus_->returnToBus());
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
        bus_->useNoBus();
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
