// The capture window on the simulated TALVO-4: its controls, the readiness
// check, the capture itself, stopping it and what the picture box shows.

#include <QPainter>
#include <QPointer>
#include <QSignalSpy>
#include <QTimer>
#include <QToolButton>

#include "capture/capture_protocol.h"
#include "capture/capture_texts.h"
#include "capture/picture_box.h"
#include "capture/slot_codes.h"
#include "tests/capture/capture_window.h"
#include "tests/support/during_rom_write.h"
#include "tests/support/test_main.h"
#include "ui/ui_support.h"

using namespace talvo;
using namespace talvo::testing;
namespace texts = talvo::capture_texts;

namespace {

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
    void timer1CountsTheCaptureClock();
    void readinessCheck();
    void notReady();
    void readinessCheckWaitsForARomWrite();
    void capture640x480();
    void buttonsDuringCapture();
    void stopAfterLine10();
    void lostDeviceEndsAfterTheLine();
    void colourReversalOnScreen();
    void screenMatchesPlottedPoints_data();
    void screenMatchesPlottedPoints();
    void closingDuringCaptureEndsItFirst();
    void closingTheMainWindowEndsTheCapture();
    void closingTheMainWindowEndsARecWait();
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

// Timer1 counts the capture window's own clock, and runs while a wait on it waits.
void Form5CaptureTest::timer1CountsTheCaptureClock() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    bool running = false;
    Ask(f, [&] { running = f->Timer1->isActive(); });
    rig.program.capture_ticks.WaitTicks(1);
    QVERIFY(running);
    QVERIFY(!f->Timer1->isActive());
    QCOMPARE(rig.program.capture_ticks.TickCounter, 1);
    QCOMPARE(rig.program.ticks.TickCounter, 0);
}

void Form5CaptureTest::readinessCheck() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    QCOMPARE(rig.talvo.commands().size(), size_t{3});
    QCOMPARE(StatusText(*f), texts::kReady);
    QCOMPARE(EnabledButtons(*f), QStringList({"Command1", "Command2", "Command3", "Command5",
                                              "Command6", "Command7", "Command8", "Command9"}));
}

void Form5CaptureTest::notReady() {
    Rig rig;
    rig.talvo.capture.fpga_selection = 0;
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

// Opened while a ROM write holds the device, the window runs its check once
// the write has let go, instead of staying disabled until it is reopened.
void Form5CaptureTest::readinessCheckWaitsForARomWrite() {
    Rig rig;
    QPointer<Form5> f;
    QStringList enabled_during_write;
    QVERIFY(WriteRomDuring(rig, [&] {
        f = OpenCaptureWindow(rig);
        if (f) enabled_during_write = EnabledButtons(*f);
    }));
    QVERIFY(f);
    QCOMPARE(enabled_during_write,
             QStringList({"Command5", "Command6", "Command7", "Command8", "Command9"}));
    const auto sent = rig.talvo.commands();
    QVERIFY(sent.size() > 3);
    QCOMPARE(sent[sent.size() - 3], (CommandArray{0x17, 0x80}));
    QCOMPARE(sent[sent.size() - 2], (CommandArray{0x13, 0x17}));
    QCOMPARE(sent.back()[0], uint8_t(0x14));
    QCOMPARE(StatusText(*f), texts::kReady);
    QCOMPARE(EnabledButtons(*f), QStringList({"Command1", "Command2", "Command3", "Command5",
                                              "Command6", "Command7", "Command8", "Command9"}));
}

void Form5CaptureTest::capture640x480() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    QCOMPARE(rig.talvo.capture.captureEnds(), 1);
    QVERIFY(FrameMatchesSizes(rig.program.capture));
    QCOMPARE(rig.program.capture.frame_height, 480);
    QCOMPARE(StatusText(*f), PictureInfoText(640, 480));
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
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line != 0) return;
        during = EnabledButtons(*f);
        timer_ran = f->Timer1->isActive();
    };
    f->Command2_Click();
    QCOMPARE(during, QStringList({"Command3", "Command6", "Command7", "Command8", "Command9"}));
    QVERIFY(!timer_ran);
}

void Form5CaptureTest::stopAfterLine10() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 10) Ask(f, [f] { f->Command3_Click(); });
    };
    f->Command2_Click();
    QCOMPARE(rig.talvo.capture.linesRequested(), 11);
    QCOMPARE(rig.talvo.capture.captureEnds(), 1);
    QCOMPARE(f->Command1->text(), QStringLiteral("静止"));
    QVERIFY(f->Command2->isEnabled() && f->Command4->isEnabled() && f->Command5->isEnabled());
    // The next capture starts afresh.
    rig.talvo.capture.on_line_request = nullptr;
    f->Command2_Click();
    QCOMPARE(rig.talvo.capture.linesRequested(), 480);
}

void Form5CaptureTest::lostDeviceEndsAfterTheLine() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.program.DeviceConnected = 0;
    f->Command2_Click();
    QCOMPARE(rig.talvo.capture.linesRequested(), 1);
    QCOMPARE(rig.talvo.capture.captureEnds(), 1);
}

void Form5CaptureTest::colourReversalOnScreen() {
    Rig rig;
    // At 640 x 480 the first screen pixel is plotted by picture pixels (0..1, 0..1).
    rig.talvo.capture.pattern = [](int x, int y) {
        return x < 2 && y < 2 ? sim::PatternPixel{0x11, 0x22, 0x33} : sim::TestPattern(x, y);
    };
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
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
    f->Command2_Click();
    QCOMPARE(rig.talvo.capture.linesRequested(), 6);
    QCOMPARE(rig.talvo.capture.captureEnds(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(f.isNull(), 2000);
    QVERIFY(!rig.main().captureWindow());
}

void Form5CaptureTest::closingTheMainWindowEndsTheCapture() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 5) Ask(&rig.main(), [&] { rig.main().close(); });
    };
    f->Command2_Click();
    QVERIFY(ProgramEnding());
    QCOMPARE(rig.talvo.capture.linesRequested(), 6);
    QCOMPARE(rig.talvo.capture.captureEnds(), 0);
}

// A recording that waits on ticks returns too, after its first code.
void Form5CaptureTest::closingTheMainWindowEndsARecWait() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    Ask(&rig.main(), [&] { rig.main().close(); });
    f->Command1_Click();
    QVERIFY(ProgramEnding());
    QCOMPARE(rig.talvo.capture.slotCodes().size(), size_t{2});  // the live picture, 0xA0
    QCOMPARE(rig.talvo.capture.slotCodes().back().code, CodesOfSlot(1).record_first);
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
