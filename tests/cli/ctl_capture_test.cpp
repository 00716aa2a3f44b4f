// talvo4ctl capture and slot end to end on the simulated TALVO-4: the files
// it writes, its refusals, Ctrl+C, and a device lost in the middle.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <QImage>
#include <QJsonValue>
#include <QTemporaryDir>
#include <QTest>

#include "capture/bitmap_file.h"
#include "capture/slot_codes.h"
#include "sim/capture_model.h"
#include "tests/cli/ctl_runner.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using talvo::testing::CtlRun;
using talvo::testing::RunCtl;
using talvo::testing::RunningCtl;

namespace {

// frame_buffer as the device's test pattern fills it: blue, green, red; the
// pixels past the picture's own width black.
std::vector<uint8_t> ExpectedFrame(int width, int height) {
    const int frame_width = (width + 3) / 4 * 4;
    std::vector<uint8_t> frame(size_t(frame_width) * size_t(height) * 3, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto pixel = talvo::sim::TestPattern(x, y);
            uint8_t* at = frame.data() + (size_t(y) * size_t(frame_width) + size_t(x)) * 3;
            at[0] = pixel.blue;
            at[1] = pixel.green;
            at[2] = pixel.red;
        }
    return frame;
}

bool SentCode(const std::vector<QByteArray>& sent, uint8_t command) {
    return std::any_of(sent.begin(), sent.end(), [command](const QByteArray& report) {
        return report.size() > 1 && uint8_t(report[1]) == command;
    });
}

}  // namespace

class CtlCaptureTest : public QObject {
    Q_OBJECT
  private slots:
    // The bitmap is byte for byte what the project's writer makes of the
    // same picture; a width that is no multiple of four ends its lines black.
    void bitmapIsTheWritersOwn_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("640 x 480") << 640 << 480;
        QTest::newRow("201 x 101, padded to 204") << 201 << 101;
    }
    void bitmapIsTheWritersOwn() {
        QFETCH(int, width);
        QFETCH(int, height);
        QTemporaryDir dir;
        const QString captured = dir.filePath(QStringLiteral("shot.bmp"));
        const CtlRun run = RunCtl({"--simulate", "--simulate-fault",
                                   QStringLiteral("size:%1x%2").arg(width).arg(height), "capture",
                                   "-o", captured});
        QCOMPARE(run.exit_code, 0);

        const QString expected = dir.filePath(QStringLiteral("expected.bmp"));
        const int frame_width = (width + 3) / 4 * 4;
        QVERIFY(talvo::WriteBitmap(expected, frame_width, height, ExpectedFrame(width, height)));
        const QByteArray bytes = talvo::testing::ReadFile(captured);
        QCOMPARE(bytes.size(), 54 + frame_width * height * 3);
        QVERIFY(bytes == talvo::testing::ReadFile(expected));
    }

    void pngHoldsThePicture() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shot.PNG"));
        const CtlRun run =
            RunCtl({"--simulate", "--simulate-fault", "size:200x120", "capture", "--output", path});
        QCOMPARE(run.exit_code, 0);
        QImage image(path, "PNG");
        QCOMPARE(image.size(), QSize(200, 120));
        for (const QPoint at : {QPoint(0, 0), QPoint(199, 0), QPoint(57, 63), QPoint(199, 119)}) {
            const auto pixel = talvo::sim::TestPattern(at.x(), at.y());
            QCOMPARE(image.pixel(at), qRgb(pixel.red, pixel.green, pixel.blue));
        }
    }

    // -o - gives the very bytes -o FILE writes, PNG unless --format bmp.
    void standardOutputHoldsTheFilesBytes_data() {
        QTest::addColumn<QStringList>("format");
        QTest::addColumn<QString>("file");
        QTest::newRow("png by default") << QStringList{} << "shot.png";
        QTest::newRow("bmp") << QStringList{"--format", "bmp"} << "shot.bmp";
    }
    void standardOutputHoldsTheFilesBytes() {
        QFETCH(QStringList, format);
        QFETCH(QString, file);
        QTemporaryDir dir;
        const QStringList size{"--simulate", "--quiet", "--simulate-fault", "size:201x101"};
        const CtlRun piped = RunCtl(size + QStringList{"capture", "-o", "-"} + format);
        QCOMPARE(piped.exit_code, 0);
        QVERIFY(piped.err.isEmpty());
        QVERIFY(RunCtl(size + QStringList{"capture", "-o", dir.filePath(file)}).exit_code == 0);
        QVERIFY(piped.out == talvo::testing::ReadFile(dir.filePath(file)));
    }

    // Standard output that cannot take the picture: refused before anything
    // is sent (a terminal; --json, whose object goes there), or a failure
    // said once the picture does not get through.
    void standardOutputThatWillNotDo_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("output");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("said");
        QTest::newRow("a terminal")
            << QStringList{} << "terminal" << 2 << "will not write a picture to a terminal";
        QTest::newRow("json") << QStringList{"--json"} << "" << 2 << "both want standard output";
        QTest::newRow("a full disk")
            << QStringList{} << "/dev/full" << 1 << "could not be written to standard output";
    }
    void standardOutputThatWillNotDo() {
        QFETCH(QStringList, options);
        QFETCH(QString, output);
        QFETCH(int, exit_code);
        QFETCH(QString, said);
        const int terminal = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(terminal >= 0 && grantpt(terminal) == 0 && unlockpt(terminal) == 0);
        if (output == QLatin1String("terminal")) output = QString::fromLatin1(ptsname(terminal));
        const CtlRun run =
            RunCtl(QStringList{"--simulate", "--trace", "capture", "-o", "-"} + options, 10000, {},
                   output);
        ::close(terminal);
        QCOMPARE(run.exit_code, exit_code);
        QVERIFY2(run.said(said), run.err.constData());
        QCOMPARE(run.sent().empty(), exit_code == 2);
    }

    // A picture file that cannot be written whole (the writer's own cases
    // are its test's): exit 1, and the file that was there before stays.
    void fileThatCannotBeWrittenWhole() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shot.png"));
        const QByteArray before(20000, 'o');
        QVERIFY(talvo::testing::WriteFile(path, before));
        std::optional<talvo::testing::FileSizeLimit> limit(std::in_place, 8192);
        const CtlRun run = RunCtl({"--simulate", "--json", "capture", "-o", path});
        limit.reset();
        QCOMPARE(run.exit_code, 1);
        QCOMPARE(run.object().value("ok"), QJsonValue(false));
        QVERIFY2(run.said(QStringLiteral("could not be written")), run.err.constData());
        QCOMPARE(talvo::testing::ReadFile(path), before);
    }

    void jsonSaysThePicture() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shot.bmp"));
        const CtlRun run = RunCtl(
            {"--simulate", "--json", "--simulate-fault", "size:200x120", "capture", "-o", path});
        QCOMPARE(run.exit_code, 0);
        QVERIFY(talvo::testing::Holds(run.object(), QJsonObject{{"width", 200},
                                                                {"height", 120},
                                                                {"file", path},
                                                                {"format", "bmp"},
                                                                {"reason", "done"}}));
    }

    // What the device answers makes the capture fail: exit 1, the window's
    // own text, no file. A rejected size still ends the capture.
    void refusedPicture_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("capture_end_sent");
        QTest::newRow("FPGA selection 1")
            << "fpga:1" << QStringLiteral("TALVO-4 FPGA SELECTをB2にしてください。") << false;
        QTest::newRow("width 64") << "size:64x480"
                                  << QStringLiteral("入力映像が無いか、不適切です。") << true;
    }
    void refusedPicture() {
        QFETCH(QString, fault);
        QFETCH(QString, text);
        QFETCH(bool, capture_end_sent);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shot.bmp"));
        const CtlRun run =
            RunCtl({"--simulate", "--trace", "--simulate-fault", fault, "capture", "-o", path});
        QCOMPARE(run.exit_code, 1);
        QVERIFY(run.said(text));
        QVERIFY(!QFile::exists(path));
        QVERIFY(!SentCode(run.sent(), 0x15));
        QCOMPARE(SentCode(run.sent(), 0x16), capture_end_sent);
    }

    // A first Ctrl+C stops after the line in hand; the device still hears
    // capture_end, and no half picture is left behind as a file.
    void ctrlCStopsAfterTheLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shot.bmp"));
        RunningCtl ctl({"--simulate", "--trace", "--simulate-fault", "answer-delay:20", "capture",
                        "-o", path});
        QVERIFY(ctl.waitForError("> 00 15"));
        ctl.interrupt();
        const CtlRun run = ctl.finish(30000);
        QCOMPARE(run.exit_code, 130);
        QVERIFY(run.said(QStringLiteral("stopped by Ctrl+C after line")));
        const auto sent = run.sent();
        QVERIFY(!sent.empty());
        QCOMPARE(uint8_t(sent.back()[1]), 0x16);
        QCOMPARE(uint8_t(sent.back()[2]), 0x00);
        const auto lines = std::count_if(sent.begin(), sent.end(), [](const QByteArray& report) {
            return uint8_t(report[1]) == 0x15;
        });
        QVERIFY(lines >= 1 && lines < 480);
        QVERIFY(!QFile::exists(path));
    }

    // Where silence ends a capture is the operation's to say; a device that
    // vanishes says it here without a silent device's seconds of waiting.
    void lostDeviceEndsTheCapture() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("shot.bmp"));
        const CtlRun run = RunCtl(
            {"--simulate", "--simulate-fault", "vanish-after:10", "capture", "-o", path}, 20000);
        QVERIFY(run.finished);
        QCOMPARE(run.exit_code, 4);
        QVERIFY(run.said(QStringLiteral("vanished")));
        QVERIFY(run.said(QStringLiteral("of 480")));
        QVERIFY(!QFile::exists(path));
    }

    // Each action's words reach its sequence, and it says what it did.
    void slotActions_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QByteArray>("codes");
        QTest::addColumn<QString>("note");
        const talvo::SlotCodes three = talvo::CodesOfSlot(3);
        const char rec_codes[] = {char(three.record_first), char(three.record_second),
                                  char(three.record_third)};
        QTest::newRow("rec 3") << QStringList{"rec", "3"} << QByteArray(rec_codes, 3)
                               << "recorded into slot 3";
        QTest::newRow("show 4") << QStringList{"show", "4"}
                                << QByteArray(1, char(talvo::CodesOfSlot(4).show))
                                << "showing slot 4";
        QTest::newRow("live") << QStringList{"live"} << QByteArray(1, char(talvo::kLivePictureCode))
                              << "showing the live picture";
    }
    void slotActions() {
        QFETCH(QStringList, words);
        QFETCH(QByteArray, codes);
        QFETCH(QString, note);
        const CtlRun run = RunCtl(QStringList{"--simulate", "--trace", "slot"} + words);
        QCOMPARE(run.exit_code, 0);
        const auto sent = run.sent();
        QCOMPARE(qsizetype(sent.size()), codes.size());
        for (size_t i = 0; i < sent.size(); ++i) {
            QCOMPARE(uint8_t(sent[i][1]), 0x17);
            QCOMPARE(sent[i][2], codes[qsizetype(i)]);
        }
        QCOMPARE(run.err.count("\n< "), codes.size());
        QVERIFY(run.said(note));
    }
};

TALVO_TEST_GUILESS_MAIN(CtlCaptureTest)
#include "ctl_capture_test.moc"
