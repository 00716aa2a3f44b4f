// The timing window: its layout, the read-back when it opens, the writes of
// every committed bar change, and leaving timing mode.

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "tests/support/during_rom_write.h"
#include "tests/support/test_main.h"
#include "tests/timing/timing_rig.h"
#include "timing/timing_parameters.h"

using namespace talvo;
using namespace talvo::testing;

Q_DECLARE_METATYPE(talvo::CommandArray)

namespace {

QScrollBar* Bar(Form6* f, const char* name) { return f->bar(TimingParameterIndex(name)); }
QLineEdit* Text(Form6* f, const char* name) { return f->textBox(TimingParameterIndex(name)); }

void Put12(sim::TimingModel& model, int k, int value) {
    model.block()[size_t(k)] = uint8_t(value & 0xFF);
    model.block()[size_t(k + 2)] = uint8_t(value >> 8);
}

}  // namespace

class Form6Test : public QObject {
    Q_OBJECT
  private slots:
    void windowAndButtons() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QCOMPARE(f->objectName(), QStringLiteral("Form6"));
        QCOMPARE(f->windowTitle(), QStringLiteral("入出力映像信号調整"));
        QCOMPARE(f->size(), QSize(552, 340));
        QVERIFY(!f->parentWidget());
        QCOMPARE(f->Command1->text(), QStringLiteral("data save"));
        QCOMPARE(f->Command1->geometry(), QRect(296, 296, 113, 33));
        QCOMPARE(f->Command2->text(), QStringLiteral("data load"));
        QCOMPARE(f->Command2->geometry(), QRect(432, 296, 113, 33));
        const struct {
            const char* caption;
            QRect geometry;
        } frames[] = {{"入力信号タイミング", {8, 8, 257, 153}},
                      {"出力信号タイミング", {8, 168, 257, 153}},
                      {"入力信号Clamp", {288, 16, 249, 97}},
                      {"出力同期タイミング", {288, 128, 257, 153}}};
        const auto boxes = f->findChildren<QGroupBox*>();
        QCOMPARE(boxes.size(), 4);
        for (const auto& frame : frames) {
            const auto box = std::find_if(boxes.begin(), boxes.end(), [&](QGroupBox* b) {
                return b->title() == QString::fromUtf8(frame.caption);
            });
            QVERIFY2(box != boxes.end(), frame.caption);
            QCOMPARE((*box)->geometry(), frame.geometry);
        }
    }

    void rows_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("frame");
        QTest::addColumn<int>("y");
        QTest::addColumn<int>("barX");
        QTest::addColumn<int>("barWidth");
        QTest::addColumn<int>("maximum");
        const QString in = QStringLiteral("入力信号タイミング");
        const QString clamp = QStringLiteral("入力信号Clamp");
        const QString sync = QStringLiteral("出力同期タイミング");
        const QString out = QStringLiteral("出力信号タイミング");
        auto row = [](const char* n, const char* c, const QString& fr, int y, int x, int w,
                      int max) { QTest::newRow(n) << n << c << fr << y << x << w << max; };
        row("h2pos", "h2pos", in, 24, 48, 145, 4095);
        row("v2pos", "v2pos", in, 56, 48, 145, 4095);
        row("h2size", "h2size", in, 88, 48, 145, 4095);
        row("v2size", "v2size", in, 120, 48, 145, 4095);
        row("clamp_start", "clamp_start", clamp, 16, 96, 97, 255);
        row("clamp_width", "clamp width", clamp, 48, 96, 97, 255);
        row("hst", "hst", sync, 24, 48, 145, 4095);
        row("vst", "vst", sync, 56, 48, 145, 4095);
        row("hsw", "hsw", sync, 88, 96, 97, 255);
        row("vsw", "vsw", sync, 120, 96, 97, 255);
        row("ph1pos", "ph1pos", out, 24, 48, 145, 4095);
        row("pv1pos", "pv1pos", out, 56, 48, 145, 4095);
        row("ph1size", "ph1size", out, 88, 48, 145, 4095);
        row("pv1size", "pv1size", out, 120, 48, 145, 4095);
    }
    void rows() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, frame);
        QFETCH(int, y);
        QFETCH(int, barX);
        QFETCH(int, barWidth);
        QFETCH(int, maximum);
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        auto* bar = f->findChild<QScrollBar*>(name);
        auto* text = f->findChild<QLineEdit*>(name + QStringLiteral("_txt"));
        QVERIFY(bar && text);
        QCOMPARE(bar, f->bar(TimingParameterIndex(name.toStdString())));
        auto* box = qobject_cast<QGroupBox*>(bar->parentWidget());
        QVERIFY(box);
        QCOMPARE(box->title(), frame);
        QCOMPARE(text->parentWidget(), box);
        QCOMPARE(bar->geometry().topLeft(), QPoint(barX, y));
        QCOMPARE(bar->width(), barWidth);
        QCOMPARE(text->x(), 200);
        QCOMPARE(text->width(), 41);
        QCOMPARE(bar->orientation(), Qt::Horizontal);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), maximum);
        QCOMPARE(bar->singleStep(), 1);
        QCOMPARE(bar->pageStep(), 1);
        QVERIFY(!bar->hasTracking());
        const auto labels = box->findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
            return l->text() == caption && l->x() < barX && qAbs(l->y() - y) < 8;
        }));
    }

    void textsEncodeAndEveryControlIsDescribed() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        for (const QString& text : ShownTexts(f)) QVERIFY2(EncodesInCp932(text), qPrintable(text));
        for (QWidget* w : f->findChildren<QWidget*>()) {
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            QVERIFY2(!w->accessibleDescription().isEmpty(), qPrintable(w->objectName()));
        }
    }

    // The bars commit a drag only when the thumb is let go, and a value set
    // to what the bar already shows raises nothing.
    void dragsCommitOnRelease() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QScrollBar* bar = Bar(f, "h2size");
        QSignalSpy changes(bar, &QScrollBar::valueChanged);
        QSignalSpy moves(bar, &QScrollBar::sliderMoved);
        rig.talvo.clearRecord();
        bar->setSliderDown(true);
        for (int position : {1300, 1500, 2000}) bar->setSliderPosition(position);
        QCOMPARE(moves.count(), 3);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(Text(f, "h2size")->text(), QStringLiteral("1280"));
        QVERIFY(rig.talvo.commands().empty());
        bar->setSliderDown(false);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(Text(f, "h2size")->text(), QStringLiteral("2000"));
        QCOMPARE(rig.talvo.commands().size(), size_t(2));
        bar->setValue(2000);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(rig.talvo.commands().size(), size_t(2));
    }

    void userInputMovesOneStep_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<int>("step");
        QTest::newRow("right arrow button") << "add arrow" << 1;
        QTest::newRow("left arrow button") << "sub arrow" << -1;
        QTest::newRow("click in the track right of the thumb") << "add track" << 1;
        QTest::newRow("click in the track left of the thumb") << "sub track" << -1;
        QTest::newRow("right key") << "right key" << 1;
        QTest::newRow("left key") << "left key" << -1;
    }
    void userInputMovesOneStep() {
        QFETCH(QString, input);
        QFETCH(int, step);
        Rig rig;
        sim::TimingModel& model = rig.talvo.timing;
        Put12(model, 58, 2048);  // ph1size, with the thumb mid-track
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QVERIFY(QTest::qWaitForWindowExposed(f));
        QScrollBar* bar = Bar(f, "ph1size");
        rig.talvo.clearRecord();
        const std::map<QString, QStyle::SubControl> parts{
            {"add arrow", QStyle::SC_ScrollBarAddLine},
            {"sub arrow", QStyle::SC_ScrollBarSubLine},
            {"add track", QStyle::SC_ScrollBarAddPage},
            {"sub track", QStyle::SC_ScrollBarSubPage}};
        if (parts.count(input)) {
            QTest::mouseClick(bar, Qt::LeftButton, {}, PartOf(bar, parts.at(input)));
        } else {
            bar->setFocus();
            QTest::keyClick(bar,
                            input == QLatin1String("right key") ? Qt::Key_Right : Qt::Key_Left);
        }
        QCOMPARE(bar->value(), 2048 + step);
        QCOMPARE(Text(f, "ph1size")->text(), QString::number(2048 + step));
        const int value = 2048 + step;
        QCOMPARE(model.block()[58], uint8_t(value & 0xFF));
        QCOMPARE(SentWithCode(rig, 0x11).size(), size_t(1));
        QCOMPARE(SentWithCode(rig, 0x12).size(), size_t(1));
    }

    // The read-back runs when the window opens, paced by the main window's
    // ticks, and the bars then show the block.
    void openingReadsTheBlockOnTheMainTicks() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QCOMPARE(SentWithCode(rig, 0x10).size(), size_t(10));
        QCOMPARE(rig.talvo.commands().size(), size_t(11));  // the bars raise no writes
        QCOMPARE(FewestTicksBetween(rig, 0x10), kTimingPauseTicks);
        QCOMPARE(Text(f, "hst")->text(), QStringLiteral("1650"));
        QCOMPARE(Text(f, "vsw")->text(), QStringLiteral("5"));
    }

    void openingShowsWhatWasReadBack_data() {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("0x2C 0x01 is 300") << 0x2C << 0x01 << 300 << "300";
        // Setting a bar to the 0 it already has raises no change.
        QTest::newRow("zero keeps the first text") << 0 << 0 << 0 << "000";
        QTest::newRow("4095") << 0xFF << 0x0F << 4095 << "4095";
        QTest::newRow("above the range sits at the end") << 0xFF << 0xFF << 4095 << "4095";
    }
    void openingShowsWhatWasReadBack() {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, value);
        QFETCH(QString, text);
        Rig rig;
        rig.talvo.timing.block()[2] = uint8_t(low);
        rig.talvo.timing.block()[4] = uint8_t(high);
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QCOMPARE(f->h2pos->value(), value);
        QCOMPARE(f->h2pos_txt->text(), text);
        QVERIFY(SentWithCode(rig, 0x11).empty());
        QVERIFY(SentWithCode(rig, 0x12).empty());
        // The image keeps what the device holds, also what the bar cannot show.
        QCOMPARE(int(rig.program.timing.timing_image[2]), low);
        QCOMPARE(int(rig.program.timing.timing_image[4]), high);
    }

    void everyBarWritesItsGroup_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("k");
        for (const TimingParameter& p : kTimingParameters)
            QTest::newRow(p.name.data()) << QString::fromLatin1(p.name.data()) << p.offset;
    }
    void everyBarWritesItsGroup() {
        QFETCH(QString, name);
        QFETCH(int, k);
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QScrollBar* bar = Bar(f, name.toLatin1().constData());
        rig.talvo.clearRecord();
        bar->setValue(bar->value() + 1);
        const TimingState& timing = rig.program.timing;
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[0], GroupReport(0x11, timing, k));
        QCOMPARE(sent[1], GroupReport(0x12, timing, k));
        // The device now holds the group exactly as the image does.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.talvo.timing.block()[size_t(k + i)], timing.timing_image[size_t(k + i)]);
        QCOMPARE(rig.talvo.timing.strayWrites(), 0);
    }

    void valueAboveTheRangeIsKeptUntilTheBarMoves() {
        Rig rig;
        rig.talvo.timing.block()[62] = 0x34;  // pv1pos 0x1234 = 4660
        rig.talvo.timing.block()[64] = 0x12;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QCOMPARE(f->pv1pos->value(), 4095);
        rig.talvo.clearRecord();
        f->pv1pos->setValue(4095);  // already there: nothing
        QVERIFY(rig.talvo.commands().empty());
        f->pv1pos->setValue(4094);
        f->pv1pos->setValue(4095);
        const auto writes = SentWithCode(rig, 0x11);
        QCOMPARE(writes.size(), size_t(2));
        QCOMPARE(writes[0][4], uint8_t(0xFE));
        QCOMPARE(writes[0][6], uint8_t(0x0F));
        QCOMPARE(writes[1][4], uint8_t(0xFF));
        QCOMPARE(writes[1][6], uint8_t(0x0F));
    }

    void closingSendsExactlyOneReport() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        rig.talvo.clearRecord();
        QVERIFY(f->close());
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0][0], uint8_t(0x0F));
        QCOMPARE(sent[0][1], uint8_t(0x00));
        QVERIFY(!rig.talvo.timing.inTimingMode());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main().timingWindow(), kCloseWait);
        // The timing state outlives the window.
        QCOMPARE(rig.program.timing.timing_base, uint8_t(0x20));
        QCOMPARE(rig.program.timing.timing_image[10], rig.talvo.timing.block()[10]);
    }

    void reopeningReadsAgainIntoFreshControls() {
        Rig rig;
        Form6* first = OpenTiming(rig);
        QVERIFY(first);
        QVERIFY(first->close());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main().timingWindow(), kCloseWait);
        rig.talvo.timing.block()[2] = 0;  // h2pos now 0
        rig.talvo.timing.block()[4] = 0;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        QCOMPARE(SentWithCode(rig, 0x10).size(), size_t(10));
        QCOMPARE(f->h2pos_txt->text(), QStringLiteral("000"));
        QCOMPARE(f->h2size_txt->text(), QStringLiteral("1280"));
    }

    void closingTheMainWindowLeavesTimingModeAlone() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        rig.talvo.clearRecord();
        const CommandArray marker{0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
        rig.link.CommandBytes = marker;
        QVERIFY(rig.main().close());
        QVERIFY(!f->isVisible());
        // The device is closed by now, so look at what the window would have
        // sent: it must not even try once the program is ending.
        f->close();
        QCOMPARE(rig.link.CommandBytes, marker);
        QVERIFY(rig.talvo.commands().empty());
        QCOMPARE(rig.talvo.timing.modeEnds(), 0);
    }

    void closingTheMainWindowWhileOpeningStopsTheReads() {
        Rig rig;
        rig.main();
        rig.talvo.clearRecord();
        // Runs inside the first wait after a read.
        DriveTicksByDevice(rig.program.ticks, rig.talvo);
        QTimer::singleShot(0, &rig.main(), [&rig] { rig.main().close(); });
        rig.main().Command1_Click();
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(2));
        QCOMPARE(sent[1][0], uint8_t(0x10));
        // No later read was even put together.
        QCOMPARE(rig.link.CommandBytes[2], uint8_t(0x20));
        Form6* f = rig.main().timingWindow();
        QVERIFY(!f || !f->isVisible());
    }

    // The window is closed in the pause after its second read: it leaves
    // timing mode then, and no read follows.
    void closingTheWindowWhileOpeningStopsTheReads() {
        Rig rig;
        rig.main();
        int ticks = 0;
        DriveTicksByDevice(rig.program.ticks, rig.talvo, [&ticks] {
            if (++ticks != kTimingPauseTicks + 1) return;
            for (QWidget* window : QApplication::topLevelWidgets())
                if (auto* f = qobject_cast<Form6*>(window)) f->close();
        });
        rig.talvo.clearRecord();
        rig.main().Command1_Click();
        const auto sent = rig.talvo.commands();
        QCOMPARE(SentWithCode(rig, 0x10).size(), size_t(2));
        QVERIFY(!sent.empty());
        QCOMPARE(sent.back()[0], uint8_t(0x0F));
        QCOMPARE(sent.back()[1], uint8_t(0x00));
    }

    // A ROM write holds the device and drops every other report meanwhile.
    void nothingIsLostWhileAnotherSequenceHoldsTheDevice() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        rig.talvo.clearRecord();
        const TimingImage before = rig.program.timing.timing_image;
        {
            DeviceLink::Exclusive rom_write(rig.link);
            f->h2pos->setValue(600);
            QCOMPARE(f->h2pos->value(), 148);  // back where the device has it
            QCOMPARE(f->h2pos_txt->text(), QStringLiteral("148"));
            rig.dialogs.answers.push_back(QStringLiteral("unused.bin"));
            f->Command2_Click();
            QVERIFY(rig.dialogs.open_requests.empty());
            QCOMPARE(rig.program.timing.timing_image, before);
            QCOMPARE(rig.link.heldOffCount(), 0);  // nothing was even tried
        }
        f->h2pos->setValue(600);
        QCOMPARE(SentWithCode(rig, 0x11).size(), size_t(1));
        QVERIFY(f->close());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.main().timingWindow(), kCloseWait);

        // Opened while the device is held, the window stays off the block.
        DeviceLink::Exclusive rom_write(rig.link);
        rig.talvo.clearRecord();
        f = OpenTiming(rig);
        QVERIFY(f);
        QCOMPARE(rig.link.heldOffCount(), 0);
        QVERIFY(!f->h2pos->isEnabled());
        QCOMPARE(f->h2pos_txt->text(), QStringLiteral("000"));
        f->h2pos->setValue(7);
        QCOMPARE(rig.link.heldOffCount(), 0);
        // The image is an earlier window's: there is nothing of this one to save.
        QVERIFY(!f->Command1->isEnabled());
        f->Command1_Click();
        QVERIFY(rig.dialogs.save_requests.empty());
        // It never entered timing mode, so its close owes no mode end.
        QVERIFY(f->close());
        QVERIFY(rig.talvo.commands().empty());
    }

    // Closed while a ROM write holds the device, the window leaves timing
    // mode once the write has let go.
    void closingDuringARomWriteLeavesTimingModeAfterIt() {
        Rig rig;
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        bool in_mode_after_close = false;
        QVERIFY(WriteRomDuring(rig, [&] {
            f->close();
            in_mode_after_close = rig.talvo.timing.inTimingMode();
        }));
        QVERIFY(in_mode_after_close);
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.back()[0], uint8_t(0x0F));
        QCOMPARE(sent.back()[1], uint8_t(0x00));
        QCOMPARE(rig.talvo.timing.modeEnds(), 1);
    }

    // A block the read-back cannot address stays out of reach of the bars
    // and of a load; closing still leaves timing mode.
    void unreachableBlockKeepsTheControlsOff() {
        Rig rig;
        rig.talvo.timing.setBase(kHighestTimingBase + 1);
        Form6* f = OpenTiming(rig);
        QVERIFY(f);
        for (size_t i = 0; i < kTimingParameters.size(); ++i) QVERIFY(!f->bar(int(i))->isEnabled());
        QVERIFY(!f->Command1->isEnabled());
        QVERIFY(!f->Command2->isEnabled());
        QCOMPARE(f->h2pos_txt->text(), QStringLiteral("000"));
        rig.talvo.clearRecord();
        f->h2pos->setValue(5);
        f->Command2_Click();
        QVERIFY(rig.dialogs.open_requests.empty());
        QVERIFY(f->close());
        const auto sent = rig.talvo.commands();
        QCOMPARE(sent.size(), size_t(1));
        QCOMPARE(sent[0][0], uint8_t(0x0F));
        QCOMPARE(sent[0][1], uint8_t(0x00));
    }
};

TALVO_TEST_MAIN(Form6Test)
#include "form6_test.moc"
