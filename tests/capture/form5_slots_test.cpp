// The capture window's image slots and its bitmap save, on the simulated TALVO-4.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QTemporaryDir>
#include <chrono>

#include "capture/capture_texts.h"
#include "capture/slot_codes.h"
#include "tests/capture/capture_window.h"
#include "tests/support/no_override.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;
namespace texts = talvo::capture_texts;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<int> SlotCodesSent(const Rig& rig) {
    std::vector<int> codes;
    for (const sim::SlotCodeRecord& record : rig.talvo.capture.slotCodes())
        codes.push_back(record.code);
    return codes;
}

// Counts the ticks of Timer1 between the slot codes the device received.
class TickLog {
  public:
    explicit TickLog(Form5& form) {
        QObject::connect(form.Timer1, &QTimer::timeout, &form,
                         [this] { ticks_.push_back(Clock::now()); });
    }
    int ticksBetween(Clock::time_point from, Clock::time_point to) const {
        return int(std::count_if(ticks_.begin(), ticks_.end(),
                                 [&](Clock::time_point t) { return t > from && t < to; }));
    }

  private:
    std::vector<Clock::time_point> ticks_;
};

// Saves the picture as if the user had picked `path` in the dialog.
QString SaveThroughDialog(Rig& rig, Form5* window, const QString& path) {
    rig.dialogs.answers.push_back(path);
    window->Command4_Click();
    return path;
}

// The saved file, read by Qt's own bitmap reader, shows the simulated picture,
// black from `black_from_line` on and from the source width on.
bool ShowsSimulatedPicture(const QString& path, const Rig& rig, int black_from_line) {
    const CaptureState& c = rig.program.capture;
    const QImage image(path);
    if (image.size() != QSize(c.frame_width, c.frame_height)) return false;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const bool black = y >= black_from_line || x >= c.source_width;
            const sim::PatternPixel p =
                black ? sim::PatternPixel{} : rig.talvo.capture.pattern(x, y);
            if (image.pixel(x, y) != qRgb(p.red, p.green, p.blue)) return false;
        }
    return true;
}

}  // namespace

class Form5SlotsTest : public QObject {
    Q_OBJECT
  private slots:
    void recordIntoFirstFreeSlot();
    void recordWithAllMarksTicked();
    void secondRecDuringTheWaitsRecordsAfterTheFirst();
    void saveClickedDuringARecWaitOpensAfterIt();
    void recRefusedWhileTheDeviceIsHeldLeavesTheMarkAlone();
    void captureDuringARecWaitHoldsTheWaitStill();
    void closingDuringRecFinishesTheSequenceFirst_data();
    void closingDuringRecFinishesTheSequenceFirst();
    void showSlotAndBackToLive_data();
    void showSlotAndBackToLive();
    void saveWritesTheBitmap();
    void saveAsksAboutTheFileItWrites_data();
    void saveAsksAboutTheFileItWrites();
    void saveDialogOpensAtHomeWithoutDocuments();
    void cancelledSaveWritesNothing();
    void saveWithoutAnAcceptedPicture();
    void saveAfterARejectedSizeKeepsTheLastPicture();
    void saveOfAStoppedCapture();
    void saveOfAWidthNotAMultipleOf4();
    void failedSaveSaysSoAndKeepsTheOldFile();
    void saveInAFolderThatTakesNoNewFiles();
    void closingTheMainWindowDuringTheSaveDialogWritesNothing();
};

// "REC" ticks the first free mark before anything goes out, and records
// into that slot on the window's 100 ms clock.
void Form5SlotsTest::recordIntoFirstFreeSlot() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    DriveTicksByDevice(rig.program.capture_ticks, rig.talvo);
    for (int s : {1, 2, 4}) f->mark(s)->setChecked(true);
    f->Command6_Click();
    QVERIFY(f->Command10->isEnabled());
    const size_t reports_before = rig.talvo.reports().size();
    size_t reports_when_ticked = 99;
    QObject::connect(f->mark(3), &QCheckBox::toggled, f,
                     [&] { reports_when_ticked = rig.talvo.reports().size(); });

    f->Command1_Click();

    QCOMPARE(reports_when_ticked, reports_before);
    const auto& reports = rig.talvo.reports();
    QCOMPARE(reports.size(), reports_before + 3);
    const auto* sent = &reports[reports_before];
    QCOMPARE(sent[0].command(), (CommandArray{0x17, CodesOfSlot(3).record_first}));
    QVERIFY(sent[1].time - sent[0].time == std::chrono::milliseconds(100));
    QVERIFY(sent[2].time - sent[1].time == std::chrono::milliseconds(400));
    QVERIFY(f->Check3->isChecked());
    QVERIFY(!f->Command10->isEnabled());
}

void Form5SlotsTest::recordWithAllMarksTicked() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    for (int s = 1; s <= 4; ++s) f->mark(s)->setChecked(true);
    f->Command9_Click();
    rig.talvo.clearRecord();
    f->Command1_Click();
    QVERIFY(rig.talvo.commands().empty());
    QVERIFY(!f->Command10->isEnabled());
}

// A second click in the first recording's waits records into the next
// free slot once the first is done: the codes never interleave.
void Form5SlotsTest::secondRecDuringTheWaitsRecordsAfterTheFirst() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    DriveTicksByDevice(rig.program.capture_ticks, rig.talvo);
    const size_t before = rig.talvo.capture.slotCodes().size();
    QMetaObject::invokeMethod(
        f, [f] { f->Command1_Click(); }, Qt::QueuedConnection);
    f->Command1_Click();
    const std::vector<int> all = SlotCodesSent(rig);
    QCOMPARE(std::vector<int>(all.begin() + ptrdiff_t(before), all.end()),
             (std::vector<int>{0xA0, 0xC0, 0x80, 0xA5, 0xC5, 0x85}));
    QVERIFY(f->Check1->isChecked() && f->Check2->isChecked());
    QVERIFY(!f->Check3->isChecked());
}

// The save's modal dialog would hold the recording's codes until it closed.
void Form5SlotsTest::saveClickedDuringARecWaitOpensAfterIt() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    DriveTicksByDevice(rig.program.capture_ticks, rig.talvo);
    const size_t before = rig.talvo.capture.slotCodes().size();
    QMetaObject::invokeMethod(
        f, [f] { f->Command4_Click(); }, Qt::QueuedConnection);
    f->Command1_Click();
    QCOMPARE(rig.talvo.capture.slotCodes().size(), before + 3);
    QVERIFY2(rig.dialogs.save_requests.empty(), "the dialog opened during the recording");
    QTRY_COMPARE(rig.dialogs.save_requests.size(), size_t{1});
}

// A ROM write holds the device: the recording is refused, and its mark
// must not claim a slot that was never recorded.
void Form5SlotsTest::recRefusedWhileTheDeviceIsHeldLeavesTheMarkAlone() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command6_Click();
    rig.talvo.clearRecord();
    {
        DeviceLink::Exclusive rom_write(rig.link);
        f->Command1_Click();
    }
    QVERIFY(rig.talvo.commands().empty());
    for (int s = 1; s <= 4; ++s) QVERIFY(!f->mark(s)->isChecked());
    QVERIFY(f->Command10->isEnabled());
}

void Form5SlotsTest::captureDuringARecWaitHoldsTheWaitStill() {
    Rig rig;
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    Form5* f = OpenCaptureWindow(rig);
    TickLog ticks(*f);
    bool timer_ran_in_capture = false;
    int ticks_at_first_line = -1, ticks_at_last_line = -2;
    rig.talvo.capture.on_line_request = [&](int line) {
        timer_ran_in_capture = timer_ran_in_capture || f->Timer1->isActive();
        if (line == 0) ticks_at_first_line = rig.program.capture_ticks.TickCounter;
        if (line == 100) ticks_at_last_line = rig.program.capture_ticks.TickCounter;
    };
    Clock::time_point capture_start, capture_end;
    rig.talvo.on_report = [&](const sim::RecordedReport& report) {
        if (report.command()[0] == 0x14) capture_start = report.time;
        if (report.command()[0] == 0x16) capture_end = report.time;
    };
    const size_t before = rig.talvo.capture.slotCodes().size();
    QMetaObject::invokeMethod(
        f, [f] { f->Command2_Click(); }, Qt::QueuedConnection);
    f->Command1_Click();

    QCOMPARE(rig.talvo.capture.linesRequested(), 101);
    QVERIFY(!timer_ran_in_capture);
    QCOMPARE(ticks_at_last_line, ticks_at_first_line);
    const auto& records = rig.talvo.capture.slotCodes();
    QCOMPARE(records.size(), before + 3);
    const auto* sent = &records[before];
    QVERIFY(sent[0].time < capture_start && capture_end < sent[1].time);
    // The first wait still counted a whole tick, after the capture.
    QCOMPARE(ticks.ticksBetween(capture_start, capture_end), 0);
    QVERIFY(ticks.ticksBetween(capture_end, sent[1].time) >= 1);
    QVERIFY(ticks.ticksBetween(sent[1].time, sent[2].time) >= 4);
    QVERIFY(!f->Timer1->isActive());
}

void Form5SlotsTest::closingDuringRecFinishesTheSequenceFirst_data() {
    QTest::addColumn<bool>("by_button");
    QTest::newRow("終了") << true;
    QTest::newRow("title bar") << false;
}

void Form5SlotsTest::closingDuringRecFinishesTheSequenceFirst() {
    QFETCH(bool, by_button);
    Rig rig;
    QPointer<Form5> f = OpenCaptureWindow(rig);
    DriveTicksByDevice(rig.program.capture_ticks, rig.talvo);
    const size_t before = rig.talvo.capture.slotCodes().size();
    bool shown_at_third_code = false;
    rig.talvo.on_report = [&](const sim::RecordedReport& report) {
        if (report.command()[0] == 0x17 && report.command()[1] == CodesOfSlot(1).record_third)
            shown_at_third_code = f && f->isVisible();
    };
    QMetaObject::invokeMethod(
        f,
        [f, by_button] {
            if (by_button)
                f->Command5->click();
            else
                f->close();
        },
        Qt::QueuedConnection);
    f->Command1_Click();

    QCOMPARE(rig.talvo.capture.slotCodes().size(), before + 3);
    QVERIFY(shown_at_third_code);
    QTRY_VERIFY_WITH_TIMEOUT(f.isNull(), 2000);
    QVERIFY(!rig.main().captureWindow());
}

void Form5SlotsTest::showSlotAndBackToLive_data() {
    QTest::addColumn<int>("slot");
    QTest::newRow("画像1") << 1;
    QTest::newRow("画像2") << 2;
    QTest::newRow("画像3") << 3;
    QTest::newRow("画像4") << 4;
}

void Form5SlotsTest::showSlotAndBackToLive() {
    QFETCH(int, slot);
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    QVERIFY(!f->Command10->isEnabled());
    f->Check2->setChecked(true);
    rig.talvo.clearRecord();
    f->showButton(slot)->click();
    QCOMPARE(rig.talvo.commands(), (std::vector<CommandArray>{{0x17, CodesOfSlot(slot).show}}));
    QVERIFY(f->Command10->isEnabled());
    // The marks are neither read nor changed.
    QVERIFY(f->Check2->isChecked() && !f->Check1->isChecked());

    f->Command10->click();
    QCOMPARE(LastCommand(rig), (CommandArray{0x17, kLivePictureCode}));
    QVERIFY(!f->Command10->isEnabled());
}

void Form5SlotsTest::saveWritesTheBitmap() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    const QString status = StatusText(*f);
    QTemporaryDir dir;
    rig.dialogs.answers.push_back(dir.filePath(QStringLiteral("shot.001.jpg")));
    f->Command4_Click();

    QCOMPARE(rig.dialogs.save_requests.size(), size_t{1});
    const FileDialogRequest& request = rig.dialogs.save_requests[0];
    QCOMPARE(request.title, QStringLiteral("ファイルを保存"));
    QCOMPARE(request.folder, DocumentsFolder());
    QCOMPARE(request.filter, QStringLiteral("24ﾋﾞｯﾄ ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)"));
    QCOMPARE(request.default_suffix, QStringLiteral("bmp"));
    QVERIFY(request.file_name.isEmpty());
    QVERIFY(EncodesInCp932(request.title) && EncodesInCp932(request.filter));

    const QString path = dir.filePath(QStringLiteral("shot.001.bmp"));
    QCOMPARE(rig.program.capture.file_name, path);
    const QByteArray bytes = ReadFile(path);
    QCOMPARE(bytes.size(), 921654);
    QCOMPARE(bytes.mid(22, 4), QByteArray::fromHex("20FEFFFF"));
    QVERIFY(ShowsSimulatedPicture(path, rig, 480));
    QCOMPARE(StatusText(*f), status);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

// The dialog asked before replacing the name it returned; a bitmap of
// another name that exists is replaced only once the dialog asked about it.
void Form5SlotsTest::saveAsksAboutTheFileItWrites_data() {
    QTest::addColumn<bool>("bitmap_exists");
    QTest::addColumn<QString>("second_answer");  // empty: the second dialog is cancelled
    QTest::addColumn<bool>("written");
    QTest::newRow("no bitmap of that name") << false << "" << true;
    QTest::newRow("bitmap kept") << true << "" << false;
    QTest::newRow("bitmap replaced") << true << "shot.bmp" << true;
}

void Form5SlotsTest::saveAsksAboutTheFileItWrites() {
    QFETCH(bool, bitmap_exists);
    QFETCH(QString, second_answer);
    QFETCH(bool, written);
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    QTemporaryDir dir;
    const QString bitmap = dir.filePath(QStringLiteral("shot.bmp"));
    if (bitmap_exists) QVERIFY(WriteFile(bitmap, "an earlier picture"));
    rig.dialogs.answers.push_back(dir.filePath(QStringLiteral("shot.png")));
    if (!second_answer.isEmpty()) rig.dialogs.answers.push_back(dir.filePath(second_answer));
    f->Command4_Click();

    QCOMPARE(rig.dialogs.save_requests.size(), size_t(bitmap_exists ? 2 : 1));
    if (bitmap_exists) {
        const FileDialogRequest& again = rig.dialogs.save_requests[1];
        QCOMPARE(QDir(again.folder), QDir(dir.path()));
        QCOMPARE(again.file_name, QStringLiteral("shot.bmp"));
    }
    QCOMPARE(ReadFile(bitmap).size(), written ? 921654 : 18);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("shot.png"))));
}

// Without a documents folder the dialog opens in the home folder, with no
// name that Save would take as the file's.
void Form5SlotsTest::saveDialogOpensAtHomeWithoutDocuments() {
    if (qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) QSKIP("the folders are configured");
    QTemporaryDir home;
    const QByteArray home_before = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    f->Command4_Click();
    qputenv("HOME", home_before);
    QCOMPARE(rig.dialogs.save_requests.size(), size_t{1});
    QCOMPARE(QDir(rig.dialogs.save_requests[0].folder), QDir(home.path()));
    QVERIFY(rig.dialogs.save_requests[0].file_name.isEmpty());
}

void Form5SlotsTest::cancelledSaveWritesNothing() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    const QString status = StatusText(*f);
    f->Command4_Click();  // the script has no answer: the user cancels
    QCOMPARE(rig.dialogs.save_requests.size(), size_t{1});
    QVERIFY(rig.program.capture.file_name.isEmpty());
    QCOMPARE(StatusText(*f), status);
}

void Form5SlotsTest::saveWithoutAnAcceptedPicture() {
    Rig rig;
    rig.talvo.capture.width = 0;
    rig.talvo.capture.height = 0;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    QVERIFY(f->Command4->isEnabled());
    QTemporaryDir dir;
    rig.dialogs.answers.push_back(dir.filePath(QStringLiteral("shot")));
    f->Command4_Click();
    QVERIFY(rig.dialogs.save_requests.empty());
    QVERIFY(QDir(dir.path()).isEmpty());
    QCOMPARE(StatusText(*f), texts::kNothingToSave);
    QVERIFY(ShowsOnlyCp932(*f));
}

void Form5SlotsTest::saveAfterARejectedSizeKeepsTheLastPicture() {
    Rig rig;
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    rig.talvo.capture.width = 0xFFFF;
    rig.talvo.capture.height = 480;
    f->Command2_Click();
    QTemporaryDir dir;
    const QString path = SaveThroughDialog(rig, f, dir.filePath(QStringLiteral("kept.bmp")));
    QCOMPARE(ReadFile(path).size(), 54 + 68 * 101 * 3);
    QVERIFY(ShowsSimulatedPicture(path, rig, 101));
}

void Form5SlotsTest::saveOfAStoppedCapture() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [f](int line) {
        if (line == 3)
            QMetaObject::invokeMethod(
                f, [f] { f->Command3_Click(); }, Qt::QueuedConnection);
    };
    f->Command2_Click();
    QTemporaryDir dir;
    const QString path = SaveThroughDialog(rig, f, dir.filePath(QStringLiteral("stopped.bmp")));
    QVERIFY(ShowsSimulatedPicture(path, rig, 4));
}

void Form5SlotsTest::saveOfAWidthNotAMultipleOf4() {
    Rig rig;
    rig.talvo.capture.width = 1001;
    rig.talvo.capture.height = 110;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    QTemporaryDir dir;
    const QString path = SaveThroughDialog(rig, f, dir.filePath(QStringLiteral("wide.bmp")));
    QCOMPARE(ReadFile(path).size(), 54 + 1004 * 110 * 3);
    QVERIFY(ShowsSimulatedPicture(path, rig, 110));
}

void Form5SlotsTest::failedSaveSaysSoAndKeepsTheOldFile() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    const QString status = StatusText(*f);
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("plain"));
    QVERIFY(WriteFile(plain, "an earlier file"));
    rig.dialogs.answers.push_back(plain + QStringLiteral("/shot.bmp"));
    f->Command4_Click();
    QCOMPARE(StatusText(*f), texts::kSaveFailed);
    QCOMPARE(ReadFile(plain), QByteArray("an earlier file"));
    QVERIFY(ShowsOnlyCp932(*f));

    // A save that works afterwards takes the failure message back.
    const QString good = dir.filePath(QStringLiteral("good.bmp"));
    rig.dialogs.answers.push_back(good);
    f->Command4_Click();
    QCOMPARE(ReadFile(good).size(), 921654);
    QCOMPARE(StatusText(*f), status);
}

void Form5SlotsTest::saveInAFolderThatTakesNoNewFiles() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    const QString status = StatusText(*f);
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("existing.bmp"));
    QVERIFY(WriteFile(existing, QByteArray("an earlier picture")));
    const QFile::Permissions open_folder = QFile::permissions(dir.path());
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    QString status_after_existing, status_after_new;
    {
        NoOverride as_a_user;
        if (!as_a_user.ok() || !TakesNoNewFiles(dir.path())) {
            QFile::setPermissions(dir.path(), open_folder);
            QSKIP("cannot take the right to create files from this process");
        }
        SaveThroughDialog(rig, f, existing);
        status_after_existing = StatusText(*f);
        SaveThroughDialog(rig, f, dir.filePath(QStringLiteral("new.bmp")));
        status_after_new = StatusText(*f);
    }
    QVERIFY(QFile::setPermissions(dir.path(), open_folder));
    QCOMPARE(status_after_existing, status);
    QCOMPARE(ReadFile(existing).size(), 921654);
    QVERIFY(ShowsSimulatedPicture(existing, rig, 480));
    QCOMPARE(status_after_new, texts::kSaveFailed);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("new.bmp"))));
}

void Form5SlotsTest::closingTheMainWindowDuringTheSaveDialogWritesNothing() {
    // A dialog during which the user closes the main window, then picks a name.
    class ClosingDialogs : public FileDialogs {
      public:
        ClosingDialogs(Rig& rig, QString answer) : rig_(rig), answer_(std::move(answer)) {}
        QString getOpenFileName(QWidget*, const FileDialogRequest&) override { return {}; }
        QString getSaveFileName(QWidget*, const FileDialogRequest&) override {
            rig_.main().close();
            return answer_;
        }

      private:
        Rig& rig_;
        QString answer_;
    };
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    QTemporaryDir dir;
    ClosingDialogs dialogs(rig, dir.filePath(QStringLiteral("shot.bmp")));
    f->CommonDialog1 = &dialogs;
    f->Command4_Click();
    QVERIFY(ProgramEnding());
    QVERIFY(QDir(dir.path()).isEmpty());
    QVERIFY(rig.program.capture.file_name.isEmpty());
}

TALVO_TEST_MAIN(Form5SlotsTest)
#include "form5_slots_test.moc"
