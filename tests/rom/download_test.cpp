// The ROM write through the main window's Command10: the dialog it opens,
// the texts that reach Text1, the pace of its repaints, the guard against
// other windows' traffic and a second start, and closing the window in the
// middle. What goes on the wire, the files it refuses and the verify's bound
// are the operation's (rom_write_test). The window's ticks run on the
// simulated device's virtual clock, so no wait costs real time.

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
using namespace talvo::testing;

namespace {

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

    // The operation's texts, in order, and the progress text standing in
    // Text1 as each data report goes out; Text1 paints again afterwards.
    void textsReachText1_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<QStringList>("texts");
        const QByteArray file = Pattern(40000);
        QTest::newRow("40000 bytes")
            << 40000
            << QStringList{"Erace", "Download", "Download End", "check sum start",
                           rom_texts::VerdictText(Sum(file), Sum(file))};
        QTest::newRow("an empty file") << 0 << QStringList{rom_texts::kEmptyFile};
    }
    void textsReachText1() {
        QFETCH(int, length);
        QTemporaryDir dir;
        WindowRig rig;
        rig.dialogs.answers.push_back(ImageFile(dir, Pattern(length)));
        QStringList text_at_data;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            if (rig.talvo.rom.inDataPhase()) text_at_data << rig.main.Text1->text();
        };
        TextLog texts(rig.main.Text1);
        rig.click(kMostReports);

        QTEST(texts.texts, "texts");
        QCOMPARE(text_at_data.size(), length / 8);
        for (int i = 0; i < length / 8; ++i)
            QCOMPARE(text_at_data[i], rom_texts::ProgressText(8 * i));
        QVERIFY(rig.main.Text1->updatesEnabled());
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

    // A repaint per progress text would cost more than sending the report:
    // over a transfer Text1 repaints at most once per 20 ms, and the last
    // progress text still reaches the screen.
    void progressRepaintsStayBounded() {
        QTemporaryDir dir;
        constexpr int kLength = 262144;
        WindowRig rig;
        MainWindow& main = rig.main;
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main, 5000));
        ProgressPaints paints(main.Text1);
        using Clock = std::chrono::steady_clock;
        Clock::time_point started{}, ended{};
        QObject::connect(main.Text1, &QLineEdit::textChanged, [&](const QString& text) {
            if (text == rom_texts::kDownload) started = Clock::now();
            if (text == rom_texts::kDownloadEnd) ended = Clock::now();
        });
        rig.dialogs.answers.push_back(ImageFile(dir, Pattern(kLength)));
        rig.click(kLength / 8 + 1000);

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
        WindowRig rig;
        int reports = 0;
        rig.talvo.on_report = [&](const sim::RecordedReport&) {
            if (++reports == close_at_report)
                QTimer::singleShot(0, &rig.main, [&] { rig.main.close(); });
        };
        rig.dialogs.answers.push_back(ImageFile(dir, Pattern(40000)));
        rig.click(kMostReports);
        QVERIFY(ProgramEnding());
        QTEST(rig.main.Text1->text(), "last_text");
        QVERIFY(rig.main.Text1->updatesEnabled());
        QCOMPARE(rig.talvo.rom.checksumRequests(), close_at_report > 5004 ? 1 : 0);
    }
};

TALVO_TEST_MAIN(DownloadTest)
#include "download_test.moc"
