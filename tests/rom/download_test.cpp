// The ROM write through the main window's Command10: the dialog it opens,
// the texts that reach Text1 and their pace, the guard against other
// windows' traffic and a second start, and closing the window in the
// middle. What goes on the wire, the files it refuses and the verify's bound
// are the operation's (rom_write_test). The window's ticks run on the
// simulated device's virtual clock, so no wait costs real time.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <chrono>
#include <optional>

#include "remote/form2.h"
#include "rom/paced_text.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "tests/rom/rom_test_support.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

// Every text Text1 takes, in order.
struct TextLog {
    QStringList texts;
    explicit TextLog(QLineEdit* text1) {
        QObject::connect(text1, &QLineEdit::textChanged,
                         [this](const QString& text) { texts << text; });
    }
};

// The main window over the logged, virtual-time device; its ticks move the
// device's clock.
struct WindowRig : RomRig {
    ScriptedDialogs dialogs;
    Program program{link, dialogs};
    MainWindow main{program};

    WindowRig() { DriveTicksByDevice(program.ticks, talvo); }
    // Clicks Command10 with the write held to a bound: one that sends more
    // reports than `most_reports` is ended as a closed main window ends it,
    // so that a fault fails its test by name rather than at the timeout.
    void click(size_t most_reports) {
        const size_t before = talvo.reports().size();
        const auto inner = talvo.on_report;
        talvo.on_report = [&](const sim::RecordedReport& report) {
            if (inner) inner(report);
            if (talvo.reports().size() - before > most_reports) SetProgramEnding(true);
        };
        main.Command10_Click();
        talvo.on_report = inner;
        QVERIFY2(talvo.reports().size() - before <= most_reports, "the write ran past its bound");
    }
};

// Room for a 40000-byte write, its erases and the polls of the checksum bound.
constexpr size_t kMostReports = 5000 + 10 + 1000;

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
        WindowRig rig;
        const QString before = rig.main.Text1->text();
        rig.click(0);
        QCOMPARE(rig.dialogs.open_requests.size(), size_t(1));
        QCOMPARE(rig.dialogs.open_requests[0].title, QStringLiteral("ファイルを開く"));
        QVERIFY(rig.dialogs.open_requests[0].filter.isEmpty());
        QCOMPARE(rig.main.Text1->text(), before);
        QVERIFY(rig.talvo.reports().empty());
        QCOMPARE(rig.program.rom_address, kRomAddress);
    }

    // Which texts a box takes, and when, for steps "<ms> offer|show <text>",
    // "<ms> flush" and "<ms> end" (the pacer goes); each shown text is logged
    // as "<ms> <text>".
    void pacedText_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("the first offer shows at once")
            << QStringList{"0 offer a"} << QStringList{"0 a"};
        QTest::newRow("offers within the interval wait for the newest after it")
            << QStringList{"0 offer a",   "50 offer b",  "99 offer c",
                           "100 offer d", "150 offer e", "260 offer f"}
            << QStringList{"0 a", "100 d", "260 f"};
        QTest::newRow("a flush shows the text held back, once")
            << QStringList{"0 offer a", "10 offer b", "20 flush", "30 flush"}
            << QStringList{"0 a", "20 b"};
        QTest::newRow("the interval runs from a flush")
            << QStringList{"0 offer a", "10 offer b", "20 flush", "110 offer c", "120 offer d"}
            << QStringList{"0 a", "20 b", "120 d"};
        QTest::newRow("a step's text shows at once and drops the one held back")
            << QStringList{"0 offer a", "10 offer b", "20 show S", "30 flush", "40 end"}
            << QStringList{"0 a", "20 S"};
        QTest::newRow("the interval runs from a step's text")
            << QStringList{"0 show S", "50 offer a", "120 offer b"} << QStringList{"0 S", "120 b"};
        QTest::newRow("the text standing is not given again")
            << QStringList{"0 show S", "40 show S", "300 show S", "310 show T"}
            << QStringList{"0 S", "310 T"};
        QTest::newRow("the end shows the text held back")
            << QStringList{"0 offer a", "10 offer b", "10 offer c", "30 end"}
            << QStringList{"0 a", "30 c"};
    }
    void pacedText() {
        QFETCH(QStringList, steps);
        QStringList shown;
        std::chrono::milliseconds at{0};
        const PacedText::Clock::time_point start{};
        std::optional<PacedText> paced;
        paced.emplace(
            [&](const QString& text) { shown << QString::number(at.count()) + ' ' + text; },
            [&] { return start + at; });
        for (const QString& step : steps) {
            const QStringList part = step.split(' ');
            at = std::chrono::milliseconds(part[0].toInt());
            if (part[1] == "offer") paced->offer(part[2]);
            if (part[1] == "show") paced->show(part[2]);
            if (part[1] == "flush") paced->flush();
            if (part[1] == "end") paced.reset();
        }
        QTEST(shown, "shown");
    }

    // Text1 takes the operation's texts, and of the progress texts the one
    // standing before the wait that follows the transfer: the device's
    // virtual clock stands still while the data goes out.
    void textsReachText1_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("shortened");  // by another program, while erasing
        QTest::addColumn<QStringList>("texts");
        for (const int length : {40000, 262144}) {
            const QByteArray file = Pattern(length);
            QTest::addRow("%d bytes", length)
                << length << false << QStringList{"Erace",
                                                  "Download",
                                                  rom_texts::ProgressText(length - 8),
                                                  "Download End",
                                                  "check sum start",
                                                  rom_texts::VerdictText(Sum(file), Sum(file))};
        }
        QTest::newRow("an empty file") << 0 << false << QStringList{rom_texts::kEmptyFile};
        QTest::newRow("a file shortened after the plan")
            << 40000 << true
            << QStringList{"Erace", "Download", rom_texts::ProgressText(40000 - 8),
                           rom_texts::kUnreadableFile};
    }
    void textsReachText1() {
        QFETCH(int, length);
        QFETCH(bool, shortened);
        QTemporaryDir dir;
        WindowRig rig;
        const QString path = ImageFile(dir, Pattern(length));
        if (shortened)
            rig.talvo.on_report = [&](const sim::RecordedReport&) {
                if (!rig.talvo.rom.inDataPhase()) QFile::resize(path, 100);
            };
        rig.dialogs.answers.push_back(path);
        TextLog texts(rig.main.Text1);
        rig.click(size_t(length) / 8 + 1000);
        QCOMPARE(rig.talvo.rom.dataReportsTaken(), length / 8);
        QTEST(texts.texts, "texts");
    }

    // Remote keys pressed while the erase waits, between data reports, while
    // the verify polls and after the sum arrived, and a second start of the
    // write: none may reach the device, and the written image stays intact.
    void otherWindowsAreHeldOff() {
        QTemporaryDir dir;
        const QByteArray file = Pattern(40000);
        WindowRig rig;
        rig.main.Command2_Click();
        Form2* pad = rig.main.remoteWindow();
        QVERIFY(pad);
        auto press = [&] { QTimer::singleShot(0, pad, [pad] { pad->button(1)->click(); }); };
        int data_reports = 0, polls = 0;
        rig.talvo.on_report = [&](const sim::RecordedReport& report) {
            const auto& rom = rig.talvo.rom;
            if (rom.inDataPhase() && ++data_reports == 100) {
                press();
                QTimer::singleShot(0, &rig.main, [&] { rig.main.Command10_Click(); });
            } else if (!rom.inDataPhase() && report.command()[0] == 0x05) {
                press();
            } else if (!rom.inDataPhase() && report.command()[0] == 0x00 && ++polls == 3) {
                press();  // lands in the wait after the poll that brings the sum
            }
        };
        rig.dialogs.answers.push_back(ImageFile(dir, file));
        rig.dialogs.answers.push_back(ImageFile(dir, Pattern(8)));
        rig.click(kMostReports);

        QCOMPARE(rig.main.Text1->text(), rom_texts::VerdictText(Sum(file), Sum(file)));
        QCOMPARE(Bytes(rig.talvo.rom.range(kRomAddress, 40000)), Bytes(file));
        QCOMPARE(rig.dialogs.open_requests.size(), size_t(1));
        QCOMPARE(rig.talvo.reports().size(), size_t(3 + 1 + 5000 + 1 + 3));
        // The keys refuse while the write holds the link: none is even tried.
        QCOMPARE(rig.link.heldOffCount(), 0);

        rig.talvo.on_report = nullptr;
        pad->button(1)->click();  // the guard ends with the write
        QVERIFY(!rig.talvo.reports().empty());
        QCOMPARE(rig.talvo.reports().back().command()[0], uint8_t(0x13));
    }

    // Cut short, the write would leave the ROM area erased and unwritten:
    // the main window closes once it has ended, and Text1 goes on showing it.
    void closingTheMainWindowWaitsForTheWrite_data() {
        QTest::addColumn<int>("close_at_report");
        QTest::newRow("during the erase") << 1;
        QTest::newRow("during the transfer") << 1 + 2 + 1 + 50;
        QTest::newRow("while polling") << 1 + 2 + 1 + 5000 + 1 + 1;
    }
    void closingTheMainWindowWaitsForTheWrite() {
        QFETCH(int, close_at_report);
        QTemporaryDir dir;
        WindowRig rig;
        rig.main.show();
        int reports = 0;
        bool shown_at_last_report = false;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            shown_at_last_report = rig.main.isVisible() && !ProgramEnding();
            if (++reports == close_at_report)
                QTimer::singleShot(0, &rig.main, [&] { rig.main.close(); });
        };
        TextLog log(rig.main.Text1);
        const QByteArray file = Pattern(40000);
        rig.dialogs.answers.push_back(ImageFile(dir, file));
        rig.click(kMostReports);
        QVERIFY(shown_at_last_report);
        QCOMPARE(rig.talvo.rom.checksumRequests(), 1);
        QCOMPARE(Bytes(rig.talvo.rom.range(kRomAddress, 40000)), Bytes(file));
        QCOMPARE(log.texts.last(), rom_texts::VerdictText(Sum(file), Sum(file)));
        QVERIFY(log.texts.contains(QStringLiteral("Download End")));
        QVERIFY(ProgramEnding());
        QVERIFY(!rig.main.isVisible());
    }
};

TALVO_TEST_MAIN(DownloadTest)
#include "download_test.moc"
