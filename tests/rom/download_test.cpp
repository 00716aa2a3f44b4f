// The ROM write through the main window's Command10 against the simulated
// device: what goes on the wire and in what order, what the ROM holds after,
// the status texts, the files it refuses, the verify's bound, and the guard
// against other windows' traffic.

#include <sys/stat.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "remote/form2.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "tests/rom/rom_test_support.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::sim::RomModel;
using namespace talvo::testing;

namespace {

constexpr uint32_t kAt = 0xE8000;

// Every text Text1 is given; progress texts are only counted.
struct TextLog {
    QStringList texts;
    int progress = 0;
    explicit TextLog(QLineEdit* text1) {
        QObject::connect(text1, &QLineEdit::textChanged, [this](const QString& text) {
            if (text.endsWith(QLatin1String("byte")))
                ++progress;
            else
                texts << text;
        });
    }
};

// Longer than any write of these tests may take, the 15 s of a checksum that
// never comes included.
constexpr int kWriteLimitMs = 90'000;

// Clicks Command10 with the write held to its bounds: a write that sends
// more reports than one of `file_length` bytes may (its erases and data, and
// the polls of the checksum bound with room to spare), or runs longer than
// kWriteLimitMs, is ended as a closed main window ends it, so that a fault
// fails its test by name rather than at the test program's timeout. Returns
// what was exceeded; empty when the write kept its bounds.
QString ClickWithinBounds(MainWindow& main, sim::TalvoModel& talvo, qint64 file_length) {
    const qint64 length = (std::min<qint64>(file_length, 1048576) + 7) / 8 * 8;
    const size_t max_reports = size_t(length / 8 + length / 4096 + 2 + 1000);
    QString exceeded;
    auto stop = [&exceeded](const QString& why) {
        if (exceeded.isEmpty()) exceeded = why;
        SetProgramEnding(true);
    };
    QElapsedTimer clock;
    clock.start();
    // For a wait that sends nothing; it fires in the wait's event passes.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout,
                     [&] { stop(QStringLiteral("the write ran past its time limit")); });
    watchdog.start(kWriteLimitMs);
    const size_t before = talvo.reports().size();
    const auto inner = talvo.on_report;
    talvo.on_report = [&](const sim::RecordedReport& report) {
        if (inner) inner(report);
        if (talvo.reports().size() - before > max_reports)
            stop(QStringLiteral("the write sent more than %1 reports").arg(max_reports));
        else if (clock.hasExpired(kWriteLimitMs))
            stop(QStringLiteral("the write ran past its time limit"));
    };
    main.Command10_Click();
    talvo.on_report = inner;
    return exceeded;
}

#define CLICK_COMMAND10(main, talvo, file_length)                             \
    do {                                                                      \
        const QString exceeded = ClickWithinBounds(main, talvo, file_length); \
        QVERIFY2(exceeded.isEmpty(), qPrintable(exceeded));                   \
    } while (false)

// Counts the paints of a text box that show a progress text.
class ProgressPaints : public QObject {
  public:
    explicit ProgressPaints(QLineEdit* text) : text_(text) { text->installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == text_ && event->type() == QEvent::Paint &&
            text_->text().endsWith(QLatin1String("byte")))
            ++count;
        return false;
    }

  private:
    QLineEdit* text_;
};

struct LoggedRig {
    sim::TalvoModel talvo;
    QStringList log;
    LoggingPlatform platform{talvo, log};
    DeviceLink link{platform};
    ScriptedDialogs dialogs;
    Program program{link, dialogs};
    MainWindow main{program};
};

}  // namespace

class DownloadTest : public QObject {
    Q_OBJECT
    QTemporaryDir no_bus_;

  private slots:
    // The writes of these tests ask no real logind for a sleep lock.
    void initTestCase() {
        qputenv("DBUS_SYSTEM_BUS_ADDRESS",
                "unix:path=" + QFile::encodeName(no_bus_.filePath(QStringLiteral("none"))));
    }

    void cancelledDialogSendsNothing() {
        Rig rig;
        const QString before = rig.main().Text1->text();
        CLICK_COMMAND10(rig.main(), rig.talvo, 0);
        QCOMPARE(rig.dialogs.open_requests.size(), size_t(1));
        QCOMPARE(rig.dialogs.open_requests[0].title, QStringLiteral("ファイルを開く"));
        QVERIFY(rig.dialogs.open_requests[0].filter.isEmpty());
        QCOMPARE(rig.main().Text1->text(), before);
        QVERIFY(rig.talvo.reports().empty());
        QCOMPARE(rig.program.rom_address, 0xE8000);
    }

    void filesThatAreNotWritten_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "empty" << rom::texts::kEmptyFile;
        QTest::newRow("missing") << "missing" << rom::texts::kUnreadableFile;
        QTest::newRow("folder") << "folder" << rom::texts::kUnreadableFile;
        QTest::newRow("pipe") << "pipe" << rom::texts::kUnreadableFile;
    }
    void filesThatAreNotWritten() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path = dir.filePath(kind);
        if (kind == QLatin1String("empty")) path = WriteFile(dir, {});
        if (kind == QLatin1String("folder")) path = dir.path();
        if (kind == QLatin1String("pipe"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        Rig rig;
        rig.dialogs.answers.push_back(path);
        CLICK_COMMAND10(rig.main(), rig.talvo, 0);
        QTEST(rig.main().Text1->text(), "text");
        QVERIFY(rig.talvo.reports().empty());
    }

    // The exchanges of the whole write in order, the erase addresses, the
    // progress text standing in Text1 as each data report goes out, the
    // zero fill of a short last report, and what the erases left.
    void wireSequence_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<QList<int>>("blocks");
        QTest::addColumn<QList<int>>("sectors");
        QTest::newRow("13 bytes") << 13 << QList<int>{} << QList<int>{0xE8000};
        QTest::newRow("32768 bytes")
            << 32768 << QList<int>{}
            << QList<int>{0xE8000, 0xE9000, 0xEA000, 0xEB000, 0xEC000, 0xED000, 0xEE000, 0xEF000};
        QTest::newRow("40000 bytes")
            << 40000 << QList<int>{0xE8000} << QList<int>{0xF0000, 0xF1000};
    }
    void wireSequence() {
        QFETCH(int, length);
        QFETCH(QList<int>, blocks);
        QFETCH(QList<int>, sectors);
        const int L = (length + 7) / 8 * 8;
        QTemporaryDir dir;
        const QByteArray file = Pattern(length);
        LoggedRig rig;
        rig.dialogs.answers.push_back(WriteFile(dir, file));
        QStringList text_at_data;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            if (rig.talvo.rom.inDataPhase()) text_at_data << rig.main.Text1->text();
        };
        TextLog texts(rig.main.Text1);
        CLICK_COMMAND10(rig.main, rig.talvo, length);

        QStringList expected;
        for (int i = 0; i < blocks.size(); ++i)
            expected << "05"
                     << "R";
        for (int i = 0; i < sectors.size(); ++i)
            expected << "04"
                     << "R";
        expected << "01";
        for (int i = 0; i < L / 8; ++i) expected << "d";
        expected << "R"
                 << "06"
                 << "00"
                 << "R"
                 << "00"
                 << "R"
                 << "00"
                 << "R";
        QCOMPARE(rig.log, expected);

        const auto commands = rig.talvo.commands();
        const size_t erases = size_t(blocks.size() + sectors.size());
        QVERIFY(commands.size() > erases + 1 + L / 8);
        for (size_t i = 0; i < erases; ++i) {
            const int at = i < size_t(blocks.size()) ? blocks[i] : sectors[i - blocks.size()];
            QCOMPARE(Bytes(commands[i]),
                     Bytes(i < size_t(blocks.size()) ? rom::EraseBlockCommand(at)
                                                     : rom::EraseSectorCommand(at)));
        }
        QCOMPARE(Bytes(commands[erases]), Bytes(rom::WriteStartCommand(kAt, L)));
        QCOMPARE(Bytes(commands[erases + 1 + L / 8]),
                 Bytes(rom::ChecksumRequestCommand(kAt, length)));
        QCOMPARE(text_at_data.size(), L / 8);
        for (int i = 0; i < L / 8; ++i) QCOMPARE(text_at_data[i], rom::texts::ProgressText(8 * i));

        QStringList shown(blocks.size(), QStringLiteral("Erace"));
        shown << "Download"
              << "Download End"
              << "check sum start" << rom::texts::VerdictText(Sum(file), Sum(file));
        QCOMPARE(texts.texts, shown);
        QVERIFY(rig.main.Text1->updatesEnabled());  // the progress repaints were paced only

        const auto& rom = rig.talvo.rom;
        QCOMPARE(Bytes(rom.range(kAt, length)), Bytes(file));
        const uint32_t erased_end = kAt + blocks.size() * 32768 + sectors.size() * 4096;
        for (uint32_t a = kAt + length; a < erased_end; ++a)
            QCOMPARE(rom.contents()[a], uint8_t(a < kAt + L ? 0x00 : 0xFF));
        QCOMPARE(rom.contents()[erased_end], RomModel::FreshByte(erased_end));
        QCOMPARE(rom.contents()[kAt - 1], RomModel::FreshByte(kAt - 1));
    }

    void wholeMegabyte_data() {
        QTest::addColumn<qint64>("length");
        QTest::newRow("1 MiB") << qint64(1048576);
        QTest::newRow("longer file: its first 1 MiB") << qint64(1048576 + 4099);
    }
    void wholeMegabyte() {
        QFETCH(qint64, length);
        QTemporaryDir dir;
        const QByteArray file = Pattern(length);
        Rig rig;
        rig.dialogs.answers.push_back(WriteFile(dir, file));
        TextLog texts(rig.main().Text1);
        CLICK_COMMAND10(rig.main(), rig.talvo, length);

        const QByteArray written = file.left(1048576);
        QCOMPARE(rig.main().Text1->text(), rom::texts::VerdictText(Sum(written), Sum(written)));
        const auto& rom = rig.talvo.rom;
        QCOMPARE(rom.dataReportsTaken(), 131072);
        QCOMPARE(texts.progress, 131072);
        QCOMPARE(rom.blockErases(), 31);
        QCOMPARE(rom.sectorErases(), 8);
        QVERIFY(Bytes(rom.range(kAt, 1048576)) == Bytes(written));
        QCOMPARE(rom.contents()[kAt + 1048576], RomModel::FreshByte(kAt + 1048576));
        const auto commands = rig.talvo.commands();
        QVERIFY(commands.size() > 39 + 131073);
        QCOMPARE(Bytes(commands[39]), Bytes(rom::WriteStartCommand(kAt, 1048576)));
        QCOMPARE(Bytes(commands[39 + 131073]), Bytes(rom::ChecksumRequestCommand(kAt, 1048576)));
        QCOMPARE(rig.talvo.queuedAnswers(), size_t(0));
    }

    void mismatchGivesTheErrorText() {
        QTemporaryDir dir;
        const QByteArray file = Pattern(100);
        Rig rig;
        rig.talvo.rom.failWriteAt(kAt + 41);
        rig.dialogs.answers.push_back(WriteFile(dir, file));
        CLICK_COMMAND10(rig.main(), rig.talvo, file.size());
        uint16_t rom_sum = 0;
        for (uint8_t b : rig.talvo.rom.range(kAt, 100)) rom_sum = uint16_t(rom_sum + b);
        QVERIFY(rom_sum != Sum(file));
        QCOMPARE(rig.main().Text1->text(),
                 QStringLiteral("Write error  rom=%1 file=%2")
                     .arg(rom::texts::Hex(rom_sum), rom::texts::Hex(Sum(file))));
    }

    // Emptied while it was being written: the verify still covers the 100
    // bytes written, instead of passing on a sum of nothing.
    void fileEmptiedDuringTheWriteFailsTheVerify() {
        QTemporaryDir dir;
        const QByteArray file = Pattern(100);
        const QString path = WriteFile(dir, file);
        Rig rig;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            if (rig.talvo.rom.inDataPhase()) QFile::resize(path, 0);
        };
        rig.dialogs.answers.push_back(path);
        CLICK_COMMAND10(rig.main(), rig.talvo, file.size());
        const QString verdict = rig.main().Text1->text();
        QVERIFY2(verdict.startsWith(QLatin1String("Write error  rom=")) &&
                     verdict.endsWith(QLatin1String(" file=0")),
                 qPrintable(verdict));
        QVERIFY(rig.talvo.commands().size() > 2 + 13);
        QCOMPARE(Bytes(rig.talvo.commands()[2 + 13]), Bytes(rom::ChecksumRequestCommand(kAt, 100)));
    }

    void checksumThatNeverArrives_data() {
        QTest::addColumn<bool>("pulled_out");
        QTest::newRow("device never ready") << false;
        QTest::newRow("device pulled out after the request") << true;
    }
    void checksumThatNeverArrives() {
        QFETCH(bool, pulled_out);
        QTemporaryDir dir;
        Rig rig;
        if (pulled_out)
            rig.talvo.vanishAfter(5);  // one erase, write start, two data reports, request
        else
            rig.talvo.rom.setPollsBeforeReady(std::nullopt);
        rig.dialogs.answers.push_back(WriteFile(dir, Pattern(13)));
        CLICK_COMMAND10(rig.main(), rig.talvo, 13);
        QCOMPARE(rig.main().Text1->text(), rom::texts::kNoChecksum);
        if (!pulled_out) QVERIFY(rig.talvo.rom.statusPolls() > 10);
    }

    // Remote keys pressed while the erase waits, between data reports, while
    // the verify polls and after the sum arrived, and a second start of the
    // write: none may reach the device, and the written image stays intact.
    void otherWindowsAreHeldOff() {
        QTemporaryDir dir;
        const QByteArray file = Pattern(40000);
        Rig rig;
        rig.main().Command2_Click();
        Form2* pad = rig.main().remoteWindow();
        QVERIFY(pad);
        auto press = [&] { QTimer::singleShot(0, pad, [pad] { pad->button(1)->click(); }); };
        int data_reports = 0, polls = 0;
        rig.talvo.on_report = [&](const sim::RecordedReport& report) {
            const auto& rom = rig.talvo.rom;
            if (rom.inDataPhase() && ++data_reports == 100) {
                press();
                QTimer::singleShot(0, &rig.main(), [&] { rig.main().Command10_Click(); });
            } else if (!rom.inDataPhase() && report.command()[0] == 0x05) {
                press();
            } else if (!rom.inDataPhase() && report.command()[0] == 0x00 && ++polls == 3) {
                press();  // lands in the wait after the poll that brings the sum
            }
        };
        rig.dialogs.answers.push_back(WriteFile(dir, file));
        rig.dialogs.answers.push_back(WriteFile(dir, Pattern(8)));
        CLICK_COMMAND10(rig.main(), rig.talvo, file.size());

        QCOMPARE(rig.main().Text1->text(), rom::texts::VerdictText(Sum(file), Sum(file)));
        QCOMPARE(Bytes(rig.talvo.rom.range(kAt, 40000)), Bytes(file));
        QCOMPARE(rig.dialogs.open_requests.size(), size_t(1));
        QCOMPARE(rig.talvo.reports().size(), size_t(3 + 1 + 5000 + 1 + 3));
        QCOMPARE(rig.link.heldOffCount(), 3 * 2);

        rig.talvo.on_report = nullptr;
        pad->button(1)->click();  // the guard ends with the write
        QVERIFY(!rig.talvo.reports().empty());
        QCOMPARE(rig.talvo.reports().back().command()[0], uint8_t(0x13));
    }

    // A repaint per progress text would cost more than sending the report:
    // over a transfer Text1 repaints at most once per 20 ms, and the last
    // progress text still reaches the screen.
    void progressRepaintsStayBounded() {
        QTemporaryDir dir;
        constexpr int kLength = 262144;
        Rig rig;
        MainWindow& main = rig.main();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main, 5000));
        ProgressPaints paints(main.Text1);
        using Clock = std::chrono::steady_clock;
        Clock::time_point started{}, ended{};
        QObject::connect(main.Text1, &QLineEdit::textChanged, [&](const QString& text) {
            if (text == rom::texts::kDownload) started = Clock::now();
            if (text == rom::texts::kDownloadEnd) ended = Clock::now();
        });
        rig.dialogs.answers.push_back(WriteFile(dir, Pattern(kLength)));
        CLICK_COMMAND10(main, rig.talvo, kLength);

        QCOMPARE(rig.talvo.rom.dataReportsTaken(), kLength / 8);
        QVERIFY(ended > started);
        const auto transfer_ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - started).count();
        QVERIFY2(
            paints.count >= 1 && paints.count <= transfer_ms / 20 + 2,
            qPrintable(
                QStringLiteral("%1 progress paints in %2 ms").arg(paints.count).arg(transfer_ms)));
    }

    void closingTheMainWindowStops_data() {
        QTest::addColumn<int>("close_at_report");
        QTest::addColumn<QString>("last_text");
        QTest::newRow("during the erase") << 1 << QStringLiteral("ＴＡＬＶＯ－４  Ｃｏｎｎｅｃｔ");
        QTest::newRow("during the transfer") << 1 + 2 + 1 + 50 << "190byte";
        QTest::newRow("while polling") << 1 + 2 + 1 + 5000 + 1 + 1 << "check sum start";
    }
    void closingTheMainWindowStops() {
        QFETCH(int, close_at_report);
        QTemporaryDir dir;
        Rig rig;
        int reports = 0;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            if (++reports == close_at_report)
                QTimer::singleShot(0, &rig.main(), [&] { rig.main().close(); });
        };
        rig.dialogs.answers.push_back(WriteFile(dir, Pattern(40000)));
        CLICK_COMMAND10(rig.main(), rig.talvo, 40000);
        QVERIFY(ProgramEnding());
        QTEST(rig.main().Text1->text(), "last_text");
        QVERIFY(rig.main().Text1->updatesEnabled());
        QCOMPARE(rig.talvo.rom.checksumRequests(), close_at_report > 5004 ? 1 : 0);
    }
};

TALVO_TEST_MAIN(DownloadTest)
#include "download_test.moc"
