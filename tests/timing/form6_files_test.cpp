// The timing window's "data save" and "data load": the dialogs they ask,
// the files they write and read, and the block a load writes to the device.

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include "tests/support/test_main.h"
#include "tests/timing/timing_rig.h"
#include "timing/timing_parameters.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

// Byte i of the file is i (mod 256): every byte value once, each at its own offset.
QByteArray EveryByteValue(qsizetype length) {
    QByteArray bytes(length, '\0');
    for (qsizetype i = 0; i < length; ++i) bytes[i] = char(i & 0xFF);
    return bytes;
}

int BarValue(Form6* f, const char* name) { return f->bar(TimingParameterIndex(name))->value(); }

// The nineteen group writes of a load, then its one closing report, and
// nothing else.
void VerifyLoadReports(const Rig& rig) {
    const TimingState& timing = rig.program.timing;
    const auto sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t(20));
    for (int g = 0; g < 19; ++g) QCOMPARE(sent[size_t(g)], GroupReport(0x11, timing, 4 * g));
    QCOMPARE(sent[19], GroupReport(0x12, timing, 72));
}

}  // namespace

class Form6FilesTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void saveAfterOpeningHoldsTheBlockThenZeros() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        const QString path = dir_->filePath(QStringLiteral("ombrix3_syc1.bin"));
        rig.dialogs.answers.push_back(path);
        rig.talvo.clearRecord();
        f->Command1_Click();
        QCOMPARE(rig.dialogs.save_requests.size(), size_t(1));
        const FileDialogRequest& asked = rig.dialogs.save_requests[0];
        QCOMPARE(asked.title, QStringLiteral("OMBRIX-3 入出力映像タイミングDataを保存"));
        QCOMPARE(asked.folder, DocumentsFolder());
        // The suggested names are the filter: Save at once must not take
        // the pattern as the file's name.
        QVERIFY(asked.file_name.isEmpty());
        QCOMPARE(asked.filter, QStringLiteral("ombrix3_syc*.bin"));
        QVERIFY(EncodesInCp932(asked.title));
        const QByteArray saved = ReadFile(path);
        QCOMPARE(saved.size(), qsizetype(257));
        const auto& block = rig.talvo.timing.block();
        QCOMPARE(saved.left(80),
                 QByteArray(reinterpret_cast<const char*>(block.data()), qsizetype(block.size())));
        QCOMPARE(saved.mid(80), QByteArray(177, '\0'));
        QVERIFY(rig.talvo.commands().empty());
    }

    void cancelledSaveWritesNothing() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        const QStringList before = QDir(DocumentsFolder()).entryList(QDir::Files);
        f->Command1_Click();  // no answer scripted: the user cancels
        QCOMPARE(rig.dialogs.save_requests.size(), size_t(1));
        QCOMPARE(QDir(DocumentsFolder()).entryList(QDir::Files), before);
        QVERIFY(!QFileInfo::exists(QDir(DocumentsFolder()).filePath("ombrix3_syc*.bin")));
    }

    void loadWritesEveryByteValueAndMovesTheBars() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QByteArray file = EveryByteValue(257);
        file[256] = char(0xEE);  // never read
        const QString path = dir_->filePath(QStringLiteral("all.bin"));
        QVERIFY(WriteFile(path, file));
        rig.dialogs.answers.push_back(path);
        const auto device_before = rig.talvo.timing.block();
        rig.talvo.clearRecord();
        f->Command2_Click();

        QCOMPARE(rig.dialogs.open_requests.size(), size_t(1));
        const FileDialogRequest& asked = rig.dialogs.open_requests[0];
        QCOMPARE(asked.title, QStringLiteral("OMBRIX-3 入出力映像タイミングDataを読込"));
        QCOMPARE(asked.folder, DocumentsFolder());
        QVERIFY(asked.file_name.isEmpty());

        const auto& image = rig.program.timing.timing_image;
        for (size_t i = 0; i < 256; ++i) QCOMPARE(int(image[i]), int(i));
        QCOMPARE(image[256], uint8_t(0));
        VerifyLoadReports(rig);
        if (QTest::currentTestFailed()) return;
        // Offsets 0-75 reach the device, 76-79 are not written.
        const auto& device = rig.talvo.timing.block();
        for (size_t i = 0; i < 76; ++i) QCOMPARE(int(device[i]), int(i));
        for (size_t i = 76; i < 80; ++i) QCOMPARE(device[i], device_before[i]);
        QCOMPARE(FewestTicksBetween(rig, 0x11), kTimingPauseTicks);

        QCOMPARE(BarValue(f, "h2pos"), 4 * 256 + 2);
        QCOMPARE(f->h2pos_txt->text(), QStringLiteral("1026"));
        QCOMPARE(BarValue(f, "clamp_start"), 18);
        QCOMPARE(BarValue(f, "clamp_width"), 20);
        QCOMPARE(BarValue(f, "vsw"), 50);
        QCOMPARE(f->vsw_txt->text(), QStringLiteral("50"));
        // 42 x 256 + 40 lies above the range: shown at the end, kept in the image.
        QCOMPARE(BarValue(f, "hst"), 4095);
        QCOMPARE(image[42], uint8_t(42));
    }

    void loadedH2posOf300() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QByteArray file(257, '\0');
        file[2] = char(0x2C);
        file[4] = char(0x01);
        const QString path = dir_->filePath(QStringLiteral("h2pos.bin"));
        QVERIFY(WriteFile(path, file));
        rig.dialogs.answers.push_back(path);
        rig.talvo.clearRecord();
        f->Command2_Click();
        const auto writes = SentWithCode(rig, 0x11);
        QCOMPARE(writes.size(), size_t(19));
        QCOMPARE(writes[0], (CommandArray{0x11, 0x00, 0x20, 0x5A, 0x00, 0x00, 0x2C, 0x00}));
        QCOMPARE(writes[1], (CommandArray{0x11, 0x00, 0x24, 0x5A, 0x01, 0x00, 0x00, 0x00}));
        QCOMPARE(f->h2pos->value(), 300);
        QCOMPARE(f->h2pos_txt->text(), QStringLiteral("300"));
        // A zero loaded into a bar that showed a value is a change it shows.
        QCOMPARE(f->h2size_txt->text(), QStringLiteral("0"));
    }

    void cancelledLoadStillWritesTheImage() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        auto& image = rig.program.timing.timing_image;
        image[2] = 0x2C;  // the image no longer matches the bars or the device
        image[4] = 0x01;
        const TimingImage before = image;
        rig.talvo.clearRecord();
        f->Command2_Click();  // no answer scripted: the user cancels
        QCOMPARE(rig.dialogs.open_requests.size(), size_t(1));
        QCOMPARE(image, before);
        VerifyLoadReports(rig);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(f->h2pos->value(), 300);
        QCOMPARE(f->h2pos_txt->text(), QStringLiteral("300"));
        QCOMPARE(rig.talvo.timing.block()[2], uint8_t(0x2C));
    }

    void unusableFileChangesNothing_data() {
        QTest::addColumn<int>("length");  // -1: no such file
        QTest::newRow("100 bytes") << 100;
        QTest::newRow("255 bytes") << 255;
        QTest::newRow("empty") << 0;
        QTest::newRow("missing") << -1;
    }
    void unusableFileChangesNothing() {
        QFETCH(int, length);
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        const QString path = dir_->filePath(QStringLiteral("short.bin"));
        if (length >= 0) QVERIFY(WriteFile(path, QByteArray(length, '\x7F')));
        rig.dialogs.answers.push_back(path);
        const TimingImage before = rig.program.timing.timing_image;
        const int h2pos = f->h2pos->value();
        rig.talvo.clearRecord();
        f->Command2_Click();
        QCOMPARE(rig.program.timing.timing_image, before);
        QVERIFY(rig.talvo.commands().empty());
        QCOMPARE(f->h2pos->value(), h2pos);
        // Nothing stray reaches the device on the next move either.
        f->h2pos->setValue(h2pos + 1);
        const auto writes = SentWithCode(rig, 0x11);
        QCOMPARE(writes.size(), size_t(1));
        QCOMPARE(writes[0][5], before[3]);
        QCOMPARE(writes[0][7], before[5]);
    }

    void longFileLoadsItsFirst256Bytes() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        rig.program.timing.timing_image[256] = 0x5C;
        QByteArray file = EveryByteValue(1000);
        file[2] = char(0x10);  // h2pos 0x0410 = 1040
        const QString path = dir_->filePath(QStringLiteral("long.bin"));
        QVERIFY(WriteFile(path, file));
        rig.dialogs.answers.push_back(path);
        rig.talvo.clearRecord();
        f->Command2_Click();
        const auto& image = rig.program.timing.timing_image;
        QCOMPARE(image[2], uint8_t(0x10));
        QCOMPARE(image[255], uint8_t(255));
        QCOMPARE(image[256], uint8_t(0x5C));
        VerifyLoadReports(rig);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(f->h2pos->value(), 1040);
        // A save after the load gives back the 256 loaded bytes and the last one.
        const QString saved = dir_->filePath(QStringLiteral("saved.bin"));
        rig.dialogs.answers.push_back(saved);
        f->Command1_Click();
        QCOMPARE(ReadFile(saved).left(256), file.left(256));
        QCOMPARE(ReadFile(saved).size(), qsizetype(257));
    }

    void loadedValueAboveTheRangeIsNotWrittenBack() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QByteArray file(256, '\0');
        file[66] = char(0xFF);  // pv1size 0xFFFF
        file[68] = char(0xFF);
        const QString path = dir_->filePath(QStringLiteral("above.bin"));
        QVERIFY(WriteFile(path, file));
        rig.dialogs.answers.push_back(path);
        rig.talvo.clearRecord();
        f->Command2_Click();
        VerifyLoadReports(rig);  // the bar's 4095 adds no write of its own
        if (QTest::currentTestFailed()) return;
        QCOMPARE(f->pv1size->value(), 4095);
        QCOMPARE(rig.talvo.timing.block()[68], uint8_t(0xFF));
    }

    void closingTheWindowDuringALoadStopsIt() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        rig.talvo.clearRecord();
        // Runs inside the pause after the first group.
        QTimer::singleShot(0, f, [f] { f->close(); });
        f->Command2_Click();
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0][0], uint8_t(0x11));
        QCOMPARE(sent[0][2], uint8_t(0x20));
        QCOMPARE(sent[1][0], uint8_t(0x0F));
        QCOMPARE(sent[1][1], uint8_t(0x00));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main().timingWindow(), kCloseWait);
    }

    // The window has no status box: its title tells a failed save or load
    // until one works; a cancelled dialog says nothing.
    void failedFilesAreToldInTheTitle_data() {
        QTest::addColumn<bool>("load");
        QTest::addColumn<QString>("name");  // empty: the dialog is cancelled
        QTest::addColumn<int>("length");    // bytes of a file there first; -1: none
        QTest::addColumn<QString>("told");
        const QString save_failed = QStringLiteral("タイミングDataを保存できませんでした。");
        const QString load_failed = QStringLiteral("タイミングDataを読み込めませんでした。");
        QTest::newRow("save into a missing folder")
            << false << "missing/ombrix3_syc1.bin" << -1 << save_failed;
        QTest::newRow("save under the pattern") << false << "ombrix3_syc*.bin" << -1 << save_failed;
        QTest::newRow("save cancelled") << false << "" << -1 << "";
        QTest::newRow("load of 100 bytes") << true << "short.bin" << 100 << load_failed;
        QTest::newRow("load of a missing file") << true << "none.bin" << -1 << load_failed;
        QTest::newRow("load cancelled") << true << "" << -1 << "";
    }
    void failedFilesAreToldInTheTitle() {
        QFETCH(bool, load);
        QFETCH(QString, name);
        QFETCH(int, length);
        QFETCH(QString, told);
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        const QString caption = QStringLiteral("入出力映像信号調整");
        const QString path = name.isEmpty() ? QString() : dir_->filePath(name);
        if (length >= 0) QVERIFY(WriteFile(path, QByteArray(length, '\x7F')));
        rig.dialogs.answers.push_back(path);
        load ? f->Command2_Click() : f->Command1_Click();
        QCOMPARE(f->windowTitle(), told.isEmpty() ? caption : caption + " - " + told);
        QCOMPARE(f->accessibleName(), f->windowTitle());
        QVERIFY(EncodesInCp932(f->windowTitle()));
        if (!load && length < 0 && !path.isEmpty()) QVERIFY(!QFile::exists(path));

        // One that works takes the message back.
        const QString good = dir_->filePath(QStringLiteral("good.bin"));
        rig.dialogs.answers.push_back(good);
        f->Command1_Click();
        rig.dialogs.answers.push_back(good);
        f->Command2_Click();
        QCOMPARE(f->windowTitle(), caption);
    }

    // Closed while its load dialog was open, the window sends nothing once
    // the dialog returns: its close left timing mode.
    void closingTheWindowDuringTheLoadDialogSendsNothingAfterIt() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        const QString path = dir_->filePath(QStringLiteral("every.bin"));
        QVERIFY(WriteFile(path, EveryByteValue(257)));
        rig.dialogs.answers.push_back(path);
        rig.dialogs.while_open = [f] { f->close(); };
        const TimingImage before = rig.program.timing.timing_image;
        rig.talvo.clearRecord();
        f->Command2_Click();
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0][0], uint8_t(0x0F));
        QCOMPARE(sent[0][1], uint8_t(0x00));
        QCOMPARE(rig.program.timing.timing_image, before);
    }

    void closingTheMainWindowDuringALoadStopsIt() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        rig.talvo.clearRecord();
        QTimer::singleShot(0, &rig.main(), [&rig] { rig.main().close(); });
        f->Command2_Click();
        QCOMPARE(rig.talvo.commands().size(), size_t(1));
        // Nothing after the first group was even put together.
        QCOMPARE(rig.link.CommandBytes[0], uint8_t(0x11));
        QCOMPARE(rig.link.CommandBytes[2], uint8_t(0x20));
        QCOMPARE(rig.talvo.timing.modeEnds(), 0);
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
};

TALVO_TEST_MAIN(Form6FilesTest)
#include "form6_files_test.moc"
