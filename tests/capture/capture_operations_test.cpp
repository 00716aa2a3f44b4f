// The capture's device sequences run without a window, as the terminal tool
// runs them, on the simulated TALVO-4.

#include "tests/support/test_main.h"

#include <numeric>

#include "capture/capture_operations.h"
#include "capture/capture_protocol.h"
#include "capture/capture_texts.h"
#include "capture/frame_image.h"
#include "capture/slot_operations.h"
#include "tests/capture/capture_window.h"

using namespace talvo;
using namespace talvo::testing;
namespace texts = talvo::capture_texts;

namespace {

// Counts the passes and waits it is asked for, spends no time, and can say
// the front end went away at a given pass or wait.
class CountingPacer : public Pacer {
  public:
    bool waitTicks(int ticks) override {
        waits.push_back(ticks);
        return int(waits.size()) != gone_at_wait;
    }
    bool pass() override {
        ++passes;
        return passes != gone_at_pass;
    }
    std::vector<int> waits;
    int passes = 0;
    int gone_at_wait = -1;
    int gone_at_pass = -1;
};

// What the observer heard, in order.
struct Heard {
    QStringList status;
    std::vector<int> lines;
    int sizes_accepted = 0;
    int lines_before_size = 0;
    size_t commands_at_end = 0;
    int ends = 0;
    bool lines_match_buffer = true;

    CaptureObserver observer(Rig& rig) {
        CaptureObserver o;
        o.status = [this](const QString& text) { status << text; };
        o.size_accepted = [this](const CaptureState&) {
            ++sizes_accepted;
            lines_before_size = int(lines.size());
        };
        o.line = [this, &rig](int y, std::span<const uint8_t> line) {
            lines.push_back(y);
            const CaptureState& c = rig.program.capture;
            const size_t from = size_t(y) * size_t(c.frame_width) * 3;
            lines_match_buffer =
                lines_match_buffer && from + line.size() <= c.frame_buffer.size() &&
                std::equal(line.begin(), line.end(), c.frame_buffer.begin() + ptrdiff_t(from));
        };
        o.before_capture_end = [this, &rig] {
            ++ends;
            commands_at_end = rig.talvo.commands().size();
        };
        return o;
    }
};

Rig& Connected(Rig& rig) {
    rig.link.DeviceFound = rig.link.FindDevice();
    return rig;
}

bool HoldsPatternLines(const Rig& rig, int end_line) {
    const CaptureState& c = rig.program.capture;
    if (!FrameMatchesSizes(c) || end_line > c.frame_height) return false;
    for (int y = 0; y < end_line; ++y)
        for (int x = 0; x < c.frame_width; ++x) {
            const uint8_t* p = &c.frame_buffer[(size_t(y) * c.frame_width + x) * 3];
            const sim::PatternPixel want =
                x < c.source_width ? rig.talvo.capture.pattern(x, y) : sim::PatternPixel{};
            if (p[0] != want.blue || p[1] != want.green || p[2] != want.red) return false;
        }
    return true;
}

}  // namespace

class CaptureOperationsTest : public QObject {
    Q_OBJECT
  private slots:
    void readiness_data();
    void readiness();
    void wholeCapture();
    void endings_data();
    void endings();
    void frontEndGoneStillEndsTheCapture();
    void programEndingSendsNothingMore();
    void givesUpAfterThreeSilentReads();
    void twoSilentReadsAreNotEnough();
    void vanishedDevice_data();
    void vanishedDevice();
    void recordSlot();
    void recordSlotEndedByItsPacer();
    void slotsOutsideOneToFour();
    void firstFreeSlot_data();
    void firstFreeSlot();
    void frameImage();
    void frameImageWithoutAPicture_data();
    void frameImageWithoutAPicture();
};

void CaptureOperationsTest::readiness_data() {
    QTest::addColumn<int>("selection");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");
    QTest::newRow("2") << 2 << int(CaptureOutcome::Done) << texts::kReady;
    QTest::newRow("0") << 0 << int(CaptureOutcome::NotReady) << texts::kSelectFpga;
    QTest::newRow("0x82") << 0x82 << int(CaptureOutcome::NotReady) << texts::kSelectFpga;
}

void CaptureOperationsTest::readiness() {
    QFETCH(int, selection);
    QFETCH(int, outcome);
    QFETCH(QString, text);
    Rig rig;
    Connected(rig);
    rig.talvo.capture.fpga_selection = uint8_t(selection);
    Heard heard;
    QCOMPARE(int(CheckCaptureReady(rig.link, heard.observer(rig))), outcome);
    QCOMPARE(heard.status, QStringList{text});
    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{3});
    QCOMPARE(sent[0][0], uint8_t{0x17});
    QCOMPARE(sent[1][0], uint8_t{0x13});
    QCOMPARE(sent[2][0], uint8_t{0x14});
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void CaptureOperationsTest::wholeCapture() {
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = 1001;
    rig.talvo.capture.height = 101;
    CountingPacer pacer;
    Heard heard;
    const CaptureOutcome outcome =
        RunCapture(rig.link, rig.program.capture, pacer, heard.observer(rig), [] { return false; });
    QCOMPARE(outcome, CaptureOutcome::Done);
    QCOMPARE(heard.sizes_accepted, 1);
    QCOMPARE(heard.lines_before_size, 0);
    std::vector<int> every_line(101);
    std::iota(every_line.begin(), every_line.end(), 0);
    QVERIFY(heard.lines == every_line);
    QVERIFY(heard.lines_match_buffer);
    QCOMPARE(pacer.passes, 101);
    QVERIFY(HoldsPatternLines(rig, 101));
    QCOMPARE(heard.status, QStringList{QStringLiteral(
                               "画面情報：水平SIZE= 1004dot , 垂直SIZE= 101dot , RGB\u300024bit")});
    // The front end hears of the end before capture_end goes out.
    QCOMPARE(heard.ends, 1);
    QCOMPARE(heard.commands_at_end, size_t{1 + 101});
    QCOMPARE(LastCommand(rig), (CommandArray{0x16, 0x00, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
    QVERIFY(!FrameImage(rig.program.capture).isNull());
}

void CaptureOperationsTest::endings_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("stop_after_line");  // -1: never
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("last_text");
    QTest::newRow("stopped after line 4")
        << 65 << 4 << int(CaptureOutcome::Stopped) << 5 << PictureInfoText(68, 101);
    QTest::newRow("stopped after the first line")
        << 65 << 0 << int(CaptureOutcome::Stopped) << 1 << PictureInfoText(68, 101);
    QTest::newRow("size rejected")
        << 64 << -1 << int(CaptureOutcome::SizeRejected) << 0 << texts::kNoInput;
}

void CaptureOperationsTest::endings() {
    QFETCH(int, width);
    QFETCH(int, stop_after_line);
    QFETCH(int, outcome);
    QFETCH(int, lines);
    QFETCH(QString, last_text);
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = uint16_t(width);
    rig.talvo.capture.height = 101;
    rig.program.capture.stop_requested = 1;  // a stop left over from before counts for nothing
    CountingPacer pacer;
    Heard heard;
    const StopRequest stop = [&] {
        return int(heard.lines.size()) > stop_after_line && stop_after_line >= 0;
    };
    QCOMPARE(int(RunCapture(rig.link, rig.program.capture, pacer, heard.observer(rig), stop)),
             outcome);
    QCOMPARE(rig.program.capture.stop_requested, int16_t{0});
    QCOMPARE(int(heard.lines.size()), lines);
    QCOMPARE(int(CommandsWithCode(rig, 0x15).size()), lines);
    QVERIFY(!heard.status.isEmpty());
    QCOMPARE(heard.status.back(), last_text);
    QCOMPARE(heard.ends, 1);
    QCOMPARE(LastCommand(rig)[0], uint8_t{0x16});
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void CaptureOperationsTest::frontEndGoneStillEndsTheCapture() {
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    CountingPacer pacer;
    pacer.gone_at_pass = 3;
    Heard heard;
    CaptureObserver observer = heard.observer(rig);
    observer.program_ending = [] { return false; };
    QCOMPARE(RunCapture(rig.link, rig.program.capture, pacer, observer, {}),
             CaptureOutcome::FrontEndGone);
    QCOMPARE(heard.lines.size(), size_t{3});
    QCOMPARE(heard.ends, 0);  // nothing of the front end is touched
    QCOMPARE(CommandsWithCode(rig, 0x15).size(), size_t{3});
    QCOMPARE(LastCommand(rig), (CommandArray{0x16, 0x00, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(rig.talvo.capture.captureEnds(), 1);
}

void CaptureOperationsTest::programEndingSendsNothingMore() {
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    CountingPacer pacer;
    pacer.gone_at_pass = 2;
    Heard heard;
    CaptureObserver observer = heard.observer(rig);
    observer.program_ending = [] { return true; };
    QCOMPARE(RunCapture(rig.link, rig.program.capture, pacer, observer, {}),
             CaptureOutcome::ProgramEnding);
    QCOMPARE(heard.ends, 0);
    QCOMPARE(LastCommand(rig)[0], uint8_t{0x15});
    QCOMPARE(rig.talvo.capture.captureEnds(), 0);
}

// A device that stops answering in line 2: each read of it waits out its
// whole second, and the capture gives up after the third.
void CaptureOperationsTest::givesUpAfterThreeSilentReads() {
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = 65;  // 6 reads a line
    rig.talvo.capture.height = 101;
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 2) rig.talvo.setSilent(true);
    };
    std::vector<int> silent_reads_at_line;
    CountingPacer pacer;
    Heard heard;
    CaptureObserver observer = heard.observer(rig);
    const auto note_line = observer.line;
    observer.line = [&](int y, std::span<const uint8_t> line) {
        note_line(y, line);
        silent_reads_at_line.push_back(rig.link.health().silent_reads_in_a_row);
    };
    // Back to answering for capture_end, which saves its second.
    observer.before_capture_end = [&] { rig.talvo.setSilent(false); };
    // A bound for a capture that would not give up: it stops after line 4.
    const StopRequest stop = [&] { return heard.lines.size() >= 5; };
    QCOMPARE(RunCapture(rig.link, rig.program.capture, pacer, observer, stop),
             CaptureOutcome::DeviceSilent);
    // Three reads waited out in line 2, not two and not a fourth.
    QCOMPARE(silent_reads_at_line, (std::vector<int>{0, 0, 3}));
    QCOMPARE(heard.status.back(), texts::kDeviceSilent);
    QCOMPARE(LastCommand(rig), (CommandArray{0x16, 0x00, 0, 0, 0, 0, 0, 0}));
    QVERIFY(HoldsPatternLines(rig, 2));
}

// Two reads in a row that wait out their second, then the answers come:
// the capture goes on to its last line.
void CaptureOperationsTest::twoSilentReadsAreNotEnough() {
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    rig.talvo.capture.on_line_request = [&](int line) {
        rig.talvo.setAnswerDelay(std::chrono::milliseconds(line == 1 ? 2500 : 0));
    };
    CountingPacer pacer;
    Heard heard;
    QCOMPARE(RunCapture(rig.link, rig.program.capture, pacer, heard.observer(rig), {}),
             CaptureOutcome::Done);
    // Of the query's read, 606 line reads and capture_end's read, two went unanswered.
    QCOMPARE(rig.talvo.readsServed(), 1 + 101 * 6 + 1 - 2);
    QCOMPARE(heard.lines.size(), size_t{101});
    QCOMPARE(CommandsWithCode(rig, 0x15).size(), size_t{101});
    QVERIFY(!heard.status.contains(texts::kDeviceSilent));
    QCOMPARE(LastCommand(rig)[0], uint8_t{0x16});
}

void CaptureOperationsTest::vanishedDevice_data() {
    QTest::addColumn<int>("vanish_after");  // output reports the device still takes
    QTest::addColumn<bool>("end_when_lost");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<int>("lines");
    QTest::newRow("before the size, terminal") << 0 << true << int(CaptureOutcome::DeviceLost) << 0;
    QTest::newRow("after 2 lines, terminal") << 4 << true << int(CaptureOutcome::DeviceLost) << 3;
    // The window never noticed: it runs through its lines on zeros.
    QTest::newRow("after 2 lines, window") << 4 << false << int(CaptureOutcome::Done) << 101;
}

void CaptureOperationsTest::vanishedDevice() {
    QFETCH(int, vanish_after);
    QFETCH(bool, end_when_lost);
    QFETCH(int, outcome);
    QFETCH(int, lines);
    Rig rig;
    Connected(rig);
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    rig.talvo.vanishAfter(vanish_after);
    CountingPacer pacer;
    Heard heard;
    const CaptureOutcome got =
        RunCapture(rig.link, rig.program.capture, pacer, heard.observer(rig), {},
                   end_when_lost ? DeviceLostPolicy::End : DeviceLostPolicy::KeepGoing);
    QCOMPARE(int(got), outcome);
    QCOMPARE(int(heard.lines.size()), lines);
    QCOMPARE(heard.ends, 1);
    QVERIFY(rig.link.deviceLost());
    // Lines that arrived before the device went are kept.
    if (lines > 0) QVERIFY(HoldsPatternLines(rig, 2));
}

void CaptureOperationsTest::recordSlot() {
    Rig rig;
    Connected(rig);
    CountingPacer pacer;
    QVERIFY(RecordSlot(rig.link, 2, pacer));
    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{3});
    QCOMPARE((std::vector<int>{sent[0][1], sent[1][1], sent[2][1]}),
             (std::vector<int>{0xA5, 0xC5, 0x85}));
    for (const CommandArray& command : sent) QCOMPARE(command[0], uint8_t{0x17});
    QCOMPARE(pacer.waits, (std::vector<int>{1, 4}));
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void CaptureOperationsTest::recordSlotEndedByItsPacer() {
    Rig rig;
    Connected(rig);
    CountingPacer pacer;
    pacer.gone_at_wait = 2;
    QVERIFY(!RecordSlot(rig.link, 4, pacer));
    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{2});
    QCOMPARE(sent[1][1], uint8_t{0xCF});
}

void CaptureOperationsTest::slotsOutsideOneToFour() {
    Rig rig;
    Connected(rig);
    CountingPacer pacer;
    for (int slot : {0, 5, -1, 256}) {
        QVERIFY(!RecordSlot(rig.link, slot, pacer));
        QVERIFY(!ShowSlot(rig.link, slot));
    }
    QVERIFY(rig.talvo.commands().empty());
    QVERIFY(ShowSlot(rig.link, 3));
    ShowLivePicture(rig.link);
    QCOMPARE(rig.talvo.commands().size(), size_t{2});
    QCOMPARE(rig.talvo.commands()[0][1], uint8_t{0xC8});
    QCOMPARE(rig.talvo.commands()[1][1], uint8_t{0x80});
}

void CaptureOperationsTest::firstFreeSlot_data() {
    QTest::addColumn<QList<bool>>("ticked");
    QTest::addColumn<int>("slot");
    QTest::newRow("none ticked") << QList<bool>{false, false, false, false} << 1;
    QTest::newRow("1, 2, 4 ticked") << QList<bool>{true, true, false, true} << 3;
    QTest::newRow("2 unticked again") << QList<bool>{true, false, true, true} << 2;
    QTest::newRow("all ticked") << QList<bool>{true, true, true, true} << 0;
}

void CaptureOperationsTest::firstFreeSlot() {
    QFETCH(QList<bool>, ticked);
    QFETCH(int, slot);
    QCOMPARE(FirstFreeSlot({ticked[0], ticked[1], ticked[2], ticked[3]}), slot);
}

void CaptureOperationsTest::frameImage() {
    CaptureState state;
    state.frame_width = 4;
    state.frame_height = 2;
    state.frame_buffer.resize(4 * 2 * 3);
    for (size_t i = 0; i < state.frame_buffer.size(); ++i)
        state.frame_buffer[i] = uint8_t(i * 7 + 1);
    const QImage image = FrameImage(state);
    QCOMPARE(image.format(), QImage::Format_RGB888);
    QCOMPARE(image.size(), QSize(4, 2));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t* p = &state.frame_buffer[size_t(y * 4 + x) * 3];
            QCOMPARE(image.pixel(x, y), qRgb(p[2], p[1], p[0]));
        }
}

void CaptureOperationsTest::frameImageWithoutAPicture_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytes");
    QTest::newRow("nothing yet") << 0 << 0 << 0;
    QTest::newRow("sizes without pixels") << 640 << 480 << 0;
    QTest::newRow("one byte short") << 4 << 2 << 23;
    QTest::newRow("negative height") << 4 << -2 << 24;
}

void CaptureOperationsTest::frameImageWithoutAPicture() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytes);
    CaptureState state;
    state.frame_width = width;
    state.frame_height = height;
    state.frame_buffer.assign(size_t(bytes), 0x55);
    QVERIFY(FrameImage(state).isNull());
}

TALVO_TEST_GUILESS_MAIN(CaptureOperationsTest)
#include "capture_operations_test.moc"
