// The capture window on the simulated TALVO-4: its controls, the readiness
// check, the capture itself, stopping it and what the picture box shows.

#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include "capture/capture_texts.h"
#include "capture/picture_box.h"
#include "tests/capture/capture_window.h"
#include "tests/support/test_main.h"
#include "ui/ui_support.h"

using namespace talvo;
using namespace talvo::testing;
namespace texts = talvo::capture_texts;

namespace {

// frame_buffer as it must hold the simulated picture: blue, green, red, and
// black from the source width on.
bool HoldsPattern(const Rig& rig, int first_line, int end_line) {
    const CaptureState& c = rig.program.capture;
    if (!FrameMatchesSizes(c) || first_line < 0 || end_line > c.frame_height) return false;
    for (int y = first_line; y < end_line; ++y)
        for (int x = 0; x < c.frame_width; ++x) {
            const uint8_t* p = &c.frame_buffer[(size_t(y) * c.frame_width + x) * 3];
            const sim::PatternPixel want =
                x < c.source_width ? rig.talvo.capture.pattern(x, y) : sim::PatternPixel{};
            if (p[0] != want.blue || p[1] != want.green || p[2] != want.red) return false;
        }
    return true;
}

bool IsBlack(const Rig& rig, int first_line, int end_line) {
    const CaptureState& c = rig.program.capture;
    if (!FrameMatchesSizes(c) || first_line < 0 || end_line > c.frame_height) return false;
    const auto from = c.frame_buffer.begin() + ptrdiff_t(first_line) * c.frame_width * 3;
    const auto to = c.frame_buffer.begin() + ptrdiff_t(end_line) * c.frame_width * 3;
    return std::all_of(from, to, [](uint8_t b) { return b == 0; });
}

// The box plotted the plain way: one pen-wide square per picture pixel.
QImage PlotByPoints(const CaptureState& c, QSize box, int pen) {
    QImage image(box, QImage::Format_RGB32);
    image.fill(Qt::black);
    if (!FrameMatchesSizes(c)) return {};
    QPainter painter(&image);
    for (int y = 0; y < c.frame_height; ++y)
        for (int x = 0; x < c.frame_width; ++x) {
            const uint8_t* p = &c.frame_buffer[(size_t(y) * c.frame_width + x) * 3];
            painter.fillRect(int(int64_t{x} * box.width() / c.frame_width),
                             int(int64_t{y} * box.height() / c.frame_height), pen, pen,
                             QColor(p[2], p[1], p[0]));
        }
    return image;
}

void Ask(QObject* target, std::function<void()> action) {
    QMetaObject::invokeMethod(target, std::move(action), Qt::QueuedConnection);
}

}  // namespace

class Form5CaptureTest : public QObject {
    Q_OBJECT
  private slots:
    void controls_data();
    void controls();
    void windowAndPictureButtons();
    void timerAdvancesCaptureTicksModulo4096();
    void readinessCheck();
    void notReady_data();
    void notReady();
    void capture640x480();
    void buttonsDuringCapture();
    void width1001DropsAndBlackens();
    void acceptedLimits_data();
    void acceptedLimits();
    void rejectedSizes_data();
    void rejectedSizes();
    void stopAfterLine10();
    void lostDeviceEndsAfterTheLine();
    void shortInputReportsGiveZeros();
    void colourReversalOnScreen();
    void screenMatchesPlottedPoints_data();
    void screenMatchesPlottedPoints();
    void closingDuringCaptureEndsItFirst();
    void silentDeviceEndsTheCapture();
    void closingTheMainWindowEndsCaptureAndRecWaits();
    void pictureOutlivesTheWindow();
};

void Form5CaptureTest::controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    QTest::newRow("Picture1") << "Picture1" << QRect(1440, 0, 8000, 4500) << QString();
    QTest::newRow("Text1") << "Text1" << QRect(1200, 5520, 7455, 615) << QString();
    QTest::newRow("Command1") << "Command1" << QRect(1320, 4560, 1215, 855) << "REC";
    QTest::newRow("Command2") << "Command2" << QRect(3000, 4560, 1215, 855) << "キャプチャー";
    QTest::newRow("Command3") << "Command3" << QRect(4680, 4560, 1095, 855) << "停止";
    QTest::newRow("Command4") << "Command4" << QRect(6240, 4560, 1095, 855) << "BMP保存";
    QTest::newRow("Command5") << "Command5" << QRect(7800, 4560, 1095, 855) << "終了";
    QTest::newRow("Command6") << "Command6" << QRect(120, 360, 855, 735) << "画像1";
    QTest::newRow("Command7") << "Command7" << QRect(120, 1320, 855, 735) << "画像2";
    QTest::newRow("Command8") << "Command8" << QRect(120, 2400, 855, 735) << "画像3";
    QTest::newRow("Command9") << "Command9" << QRect(120, 3480, 855, 735) << "画像4";
    QTest::newRow("Check1") << "Check1" << QRect(1080, 600, 255, 255) << QString();
    QTest::newRow("Check2") << "Check2" << QRect(1080, 1560, 255, 255) << QString();
    QTest::newRow("Check3") << "Check3" << QRect(1080, 2640, 255, 255) << QString();
    QTest::newRow("Check4") << "Check4" << QRect(1080, 3720, 255, 255) << QString();
    QTest::newRow("Command10") << "Command10" << QRect(120, 4560, 855, 735) << "再生";
}

void Form5CaptureTest::controls() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    auto* control = f->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), TwipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    QVERIFY(!control->accessibleName().isEmpty());
    QVERIFY(!control->accessibleDescription().isEmpty());
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QCOMPARE(button->text(), caption);
        QCOMPARE(button->accessibleName(), caption.isEmpty() ? button->accessibleName() : caption);
    }
}

void Form5CaptureTest::windowAndPictureButtons() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    QCOMPARE(f->objectName(), QStringLiteral("Form5"));
    QCOMPARE(f->windowTitle(), QStringLiteral("TALVO-4 Capture Tool"));
    QCOMPARE(f->size(), QSize(TwipsToPixels(9540), TwipsToPixels(6240)));
    QCOMPARE(f->Text1->font().pointSizeF(), 12.0);
    QCOMPARE(f->CommonDialog1, &rig.dialogs);
    QCOMPARE(f->Timer1->interval(), 100);
    QVERIFY(!f->Timer1->isActive());  // it runs only while "REC" waits
    for (QToolButton* button : {f->Command2, f->Command3, f->Command4, f->Command5}) {
        QCOMPARE(button->iconSize(), QSize(64, 32));
        QVERIFY(!button->icon().pixmap(64, 32).toImage().isNull());
    }
    // Each picture differs from the others.
    QCOMPARE(QSet<qint64>({f->Command2->icon().cacheKey(), f->Command3->icon().cacheKey(),
                           f->Command4->icon().cacheKey(), f->Command5->icon().cacheKey()})
                 .size(),
             4);
    QVERIFY(ShowsOnlyCp932(*f));
}

void Form5CaptureTest::timerAdvancesCaptureTicksModulo4096() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.program.capture.capture_ticks = 4094;
    f->Timer1_Timer();
    QCOMPARE(rig.program.capture.capture_ticks, 4095);
    f->Timer1_Timer();
    QCOMPARE(rig.program.capture.capture_ticks, 0);
}

void Form5CaptureTest::readinessCheck() {
    Rig rig;
    rig.main();
    rig.link.CommandBytes = {0, 0, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    Form5* f = OpenCaptureWindow(rig);
    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{3});
    QCOMPARE(sent[0], (CommandArray{0x17, 0x80, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    QCOMPARE(sent[1], (CommandArray{0x13, 0x17, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    // The picture-information query leaves the argument as the key put it.
    QCOMPARE(sent[2], (CommandArray{0x14, 0x17, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
    QCOMPARE(StatusText(*f), texts::kReady);
    QCOMPARE(EnabledButtons(*f), QStringList({"Command1", "Command2", "Command3", "Command5",
                                              "Command6", "Command7", "Command8", "Command9"}));
}

void Form5CaptureTest::notReady_data() {
    QTest::addColumn<int>("selection");
    QTest::newRow("0") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("3") << 3;
    QTest::newRow("0x82") << 0x82;
}

void Form5CaptureTest::notReady() {
    QFETCH(int, selection);
    Rig rig;
    rig.talvo.capture.fpga_selection = uint8_t(selection);
    Form5* f = OpenCaptureWindow(rig);
    QCOMPARE(StatusText(*f), texts::kSelectFpga);
    QVERIFY(StatusText(*f).contains(QStringLiteral("してください。 \n")));
    const QStringList not_ready{"Command5", "Command6", "Command7", "Command8", "Command9"};
    QCOMPARE(EnabledButtons(*f), not_ready);
    // A click that cannot happen does nothing.
    rig.talvo.clearRecord();
    f->Command2_Click();
    f->Command1_Click();
    QVERIFY(rig.talvo.commands().empty());
    QCOMPARE(EnabledButtons(*f), not_ready);
    // The slot buttons still work.
    f->Command8_Click();
    QCOMPARE(rig.talvo.commands().size(), size_t{1});
    QVERIFY(ShowsOnlyCp932(*f));
}

void Form5CaptureTest::capture640x480() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.clearRecord();
    f->Command2_Click();

    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{1 + 480 + 1});
    QCOMPARE(sent.front()[0], uint8_t{0x14});
    for (size_t i = 1; i <= 480; ++i) {
        QCOMPARE(sent[i][0], uint8_t{0x15});
        QCOMPARE(sent[i][1], uint8_t{30});
    }
    QCOMPARE(sent.back()[0], uint8_t{0x16});
    QCOMPARE(sent.back()[1], uint8_t{0x00});
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});

    const CaptureState& c = rig.program.capture;
    QCOMPARE(c.source_width, uint16_t{640});
    QCOMPARE(c.transfer_width, 640);
    QCOMPARE(c.frame_width, 640);
    QCOMPARE(c.frame_height, 480);
    QCOMPARE(c.frame_buffer.size(), size_t{640 * 480 * 3});
    QVERIFY(HoldsPattern(rig, 0, 480));

    QCOMPARE(StatusText(*f),
             QStringLiteral("画面情報：水平SIZE= 640dot , 垂直SIZE= 480dot , RGB\u300024bit"));
    QCOMPARE(f->Picture1->geometry(), QRect(TwipsToPixels(2440), 0, TwipsToPixels(6000), 300));
    QCOMPARE(f->Picture1->penWidth(), 1);
    QCOMPARE(f->Command1->text(), QStringLiteral("静止"));
    QCOMPARE(f->Command1->accessibleName(), QStringLiteral("静止"));
    QVERIFY(!f->Timer1->isActive());  // no "REC" waits
    QVERIFY(!f->capturing());
    QCOMPARE(EnabledButtons(*f),
             QStringList({"Command1", "Command2", "Command3", "Command4", "Command5", "Command6",
                          "Command7", "Command8", "Command9"}));
    QVERIFY(ShowsOnlyCp932(*f));
}

void Form5CaptureTest::buttonsDuringCapture() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    QStringList during;
    bool timer_ran = true;
    int ticks_before = -1, ticks_after = -1;
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 0) {
            during = EnabledButtons(*f);
            timer_ran = f->Timer1->isActive();
            ticks_before = rig.program.capture.capture_ticks;
        }
        if (line == 479) ticks_after = rig.program.capture.capture_ticks;
    };
    f->Command2_Click();
    QCOMPARE(during, QStringList({"Command3", "Command6", "Command7", "Command8", "Command9"}));
    QVERIFY(!timer_ran);
    QCOMPARE(ticks_after, ticks_before);
    QCOMPARE(rig.program.capture.stop_requested, int16_t{0});
}

void Form5CaptureTest::width1001DropsAndBlackens() {
    Rig rig;
    rig.talvo.capture.width = 1001;
    rig.talvo.capture.height = 120;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.clearRecord();
    f->Command2_Click();
    const auto requests = CommandsWithCode(rig, 0x15);
    QCOMPARE(requests.size(), size_t{120});
    QCOMPARE(requests.front()[1], uint8_t{48});
    const CaptureState& c = rig.program.capture;
    QCOMPARE(c.frame_width, 1004);
    QCOMPARE(c.transfer_width, 1024);
    // Pixels 1001 to 1003 are black although the stream carried the pattern there.
    QVERIFY(rig.talvo.capture.pattern(1002, 5) != sim::PatternPixel{});
    QVERIFY(HoldsPattern(rig, 0, 120));
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void Form5CaptureTest::acceptedLimits_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("reports");
    QTest::newRow("65 x 101") << 65 << 101 << 6;
    QTest::newRow("1984 x 101") << 1984 << 101 << 93;
    QTest::newRow("68 x 1299") << 68 << 1299 << 6;
}

void Form5CaptureTest::acceptedLimits() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, reports);
    Rig rig;
    rig.talvo.capture.width = uint16_t(width);
    rig.talvo.capture.height = uint16_t(height);
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.clearRecord();
    f->Command2_Click();
    const auto requests = CommandsWithCode(rig, 0x15);
    QCOMPARE(int(requests.size()), height);
    QCOMPARE(int(requests.back()[1]), reports);
    QCOMPARE(rig.talvo.readsServed(), 3 + 1 + height * reports + 1);
    QVERIFY(HoldsPattern(rig, 0, height));
}

void Form5CaptureTest::rejectedSizes_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("0 x 0") << 0 << 0;
    QTest::newRow("64 wide") << 64 << 480;
    QTest::newRow("1985 wide") << 1985 << 480;
    QTest::newRow("height 100") << 640 << 100;
    QTest::newRow("height 1300") << 640 << 1300;
    QTest::newRow("width high byte 0x80") << 0x8000 << 480;
    QTest::newRow("65535 x 65535") << 65535 << 65535;
}

void Form5CaptureTest::rejectedSizes() {
    QFETCH(int, width);
    QFETCH(int, height);
    Rig rig;
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    const CaptureState before = rig.program.capture;

    rig.talvo.capture.width = uint16_t(width);
    rig.talvo.capture.height = uint16_t(height);
    rig.talvo.clearRecord();
    f->Command2_Click();
    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{2});
    QCOMPARE(sent[0][0], uint8_t{0x14});
    QCOMPARE(sent[1][0], uint8_t{0x16});
    QCOMPARE(sent[1][1], uint8_t{0x00});
    QCOMPARE(StatusText(*f), QStringLiteral("入力映像が無いか、不適切です。"));
    QVERIFY(f->Command4->isEnabled());
    QCOMPARE(f->Command1->text(), QStringLiteral("静止"));
    // The earlier picture and the sizes that describe it stay together.
    const CaptureState& after = rig.program.capture;
    QCOMPARE(after.source_width, before.source_width);
    QCOMPARE(after.frame_width, before.frame_width);
    QCOMPARE(after.frame_height, before.frame_height);
    QVERIFY(after.frame_buffer == before.frame_buffer);
}

void Form5CaptureTest::stopAfterLine10() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 10) Ask(f, [f] { f->Command3_Click(); });
    };
    rig.talvo.clearRecord();
    f->Command2_Click();
    QCOMPARE(CommandsWithCode(rig, 0x15).size(), size_t{11});
    QCOMPARE(LastCommand(rig)[0], uint8_t{0x16});
    QVERIFY(HoldsPattern(rig, 0, 11));
    QVERIFY(IsBlack(rig, 11, 480));
    QCOMPARE(f->Command1->text(), QStringLiteral("静止"));
    QVERIFY(f->Command2->isEnabled() && f->Command4->isEnabled() && f->Command5->isEnabled());
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
    // The next capture starts afresh.
    rig.talvo.capture.on_line_request = nullptr;
    f->Command2_Click();
    QVERIFY(HoldsPattern(rig, 0, 480));
}

void Form5CaptureTest::lostDeviceEndsAfterTheLine() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.program.DeviceConnected = 0;
    rig.talvo.clearRecord();
    f->Command2_Click();
    QCOMPARE(CommandsWithCode(rig, 0x15).size(), size_t{1});
    QCOMPARE(LastCommand(rig)[0], uint8_t{0x16});
    QVERIFY(HoldsPattern(rig, 0, 1));
    QVERIFY(IsBlack(rig, 1, 480));
}

void Form5CaptureTest::shortInputReportsGiveZeros() {
    Rig rig;
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.setInputDataLength(10);
    f->Command2_Click();
    const CaptureState& c = rig.program.capture;
    QCOMPARE(c.frame_width, 68);
    QVERIFY(FrameMatchesSizes(c) && c.frame_height == 101);
    for (int y = 0; y < 101; ++y)
        for (int k = 0; k < 65 * 3; ++k) {
            const sim::PatternPixel p = rig.talvo.capture.pattern(k / 3, y);
            const uint8_t sent = k % 3 == 0 ? p.red : k % 3 == 1 ? p.green : p.blue;
            const uint8_t want = k % 64 < 10 ? sent : 0;
            QCOMPARE(c.frame_buffer[(size_t(y) * 68 + k / 3) * 3 + 2 - k % 3], want);
        }
}

void Form5CaptureTest::colourReversalOnScreen() {
    Rig rig;
    // At 640 x 480 the first screen pixel is plotted by picture pixels (0..1, 0..1).
    rig.talvo.capture.pattern = [](int x, int y) {
        return x < 2 && y < 2 ? sim::PatternPixel{0x11, 0x22, 0x33} : sim::TestPattern(x, y);
    };
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    const auto& buffer = rig.program.capture.frame_buffer;
    QVERIFY(buffer.size() >= 3);
    QCOMPARE(buffer[0], uint8_t{0x33});
    QCOMPARE(buffer[1], uint8_t{0x22});
    QCOMPARE(buffer[2], uint8_t{0x11});
    QCOMPARE(f->Picture1->image().pixel(0, 0), qRgb(0x11, 0x22, 0x33));
    // What the box paints comes from its image, also after being covered.
    f->Picture1->hide();
    f->Picture1->show();
    QCOMPARE(f->Picture1->grab().toImage().pixel(0, 0), qRgb(0x11, 0x22, 0x33));
}

void Form5CaptureTest::screenMatchesPlottedPoints_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pen");
    QTest::addColumn<int>("box_width");
    QTest::newRow("640 x 480, shrunk") << 640 << 480 << 1 << 400;
    QTest::newRow("640 x 240, pen 2") << 640 << 240 << 2 << 800;
    QTest::newRow("640 x 374, pen 2") << 640 << 374 << 2 << 513;
    QTest::newRow("640 x 375, pen 1") << 640 << 375 << 1 << 512;
    QTest::newRow("68 x 101, gaps") << 68 << 101 << 2 << 202;
    QTest::newRow("1001 x 1299") << 1001 << 1299 << 1 << 232;
}

void Form5CaptureTest::screenMatchesPlottedPoints() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pen);
    QFETCH(int, box_width);
    Rig rig;
    rig.talvo.capture.width = uint16_t(width);
    rig.talvo.capture.height = uint16_t(height);
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    QCOMPARE(f->Picture1->penWidth(), pen);
    QCOMPARE(f->Picture1->size(), QSize(box_width, 300));
    const QImage expected = PlotByPoints(rig.program.capture, f->Picture1->size(), pen);
    QCOMPARE(f->Picture1->image(), expected);
    QCOMPARE(f->Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
}

void Form5CaptureTest::closingDuringCaptureEndsItFirst() {
    Rig rig;
    QPointer<Form5> f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 5) Ask(f, [f] { f->close(); });
    };
    rig.talvo.clearRecord();
    f->Command2_Click();
    QCOMPARE(CommandsWithCode(rig, 0x15).size(), size_t{6});
    QCOMPARE(LastCommand(rig), (CommandArray{0x16, 0x00, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(rig.talvo.capture.captureEnds(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(f.isNull(), 2000);
    QVERIFY(!rig.main().captureWindow());
    QVERIFY(HoldsPattern(rig, 0, 6));
}

void Form5CaptureTest::silentDeviceEndsTheCapture() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 2) rig.talvo.setSilent(true);
    };
    rig.talvo.clearRecord();
    f->Command2_Click();
    QCOMPARE(CommandsWithCode(rig, 0x15).size(), size_t{3});
    QCOMPARE(LastCommand(rig)[0], uint8_t{0x16});
    QCOMPARE(StatusText(*f), texts::kDeviceSilent);
    QVERIFY(f->Command2->isEnabled());
    QVERIFY(HoldsPattern(rig, 0, 2));
    QVERIFY(ShowsOnlyCp932(*f));
}

void Form5CaptureTest::closingTheMainWindowEndsCaptureAndRecWaits() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 5) Ask(&rig.main(), [&] { rig.main().close(); });
    };
    f->Command2_Click();
    QVERIFY(ProgramEnding());
    QCOMPARE(rig.talvo.capture.linesRequested(), 6);

    // A recording that waits on ticks returns too, with the timer stopped.
    Rig second;
    Form5* g = OpenCaptureWindow(second);
    g->Timer1->stop();
    Ask(&second.main(), [&] { second.main().close(); });
    g->Command1_Click();
    QCOMPARE(second.talvo.capture.slotCodes().size(), size_t{2});  // the live picture, 0xA0
    QCOMPARE(second.talvo.capture.slotCodes().back().code, uint8_t{0xA0});
}

void Form5CaptureTest::pictureOutlivesTheWindow() {
    Rig rig;
    QPointer<Form5> f = OpenCaptureWindow(rig);
    f->Command2_Click();
    f->Check2->setChecked(true);
    const std::vector<uint8_t> picture = rig.program.capture.frame_buffer;
    f->Command5_Click();
    QTRY_VERIFY_WITH_TIMEOUT(f.isNull(), 2000);
    Form5* again = OpenCaptureWindow(rig);
    QVERIFY(again);
    QVERIFY(rig.program.capture.frame_buffer == picture);
    QVERIFY(!again->Command4->isEnabled());
    QVERIFY(!again->Check2->isChecked());
    QCOMPARE(again->Command1->text(), QStringLiteral("REC"));
}

TALVO_TEST_MAIN(Form5CaptureTest)
#include "form5_capture_test.moc"
