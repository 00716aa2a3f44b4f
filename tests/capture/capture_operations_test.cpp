// The capture's device sequences run without a window, as the terminal tool
// runs them, on the simulated TALVO-4 and its virtual clock.

#include "tests/support/test_main.h"

#include <numeric>

#include "capture/capture_operations.h"
#include "capture/capture_protocol.h"
#include "capture/capture_texts.h"
#include "capture/frame_image.h"
#include "capture/slot_operations.h"
#include "sim/sim_pacer.h"
#include "tests/capture/capture_window.h"

using namespace talvo;
using namespace talvo::testing;
using namespace std::chrono_literals;
namespace texts = talvo::capture_texts;

namespace {

// A connected simulated TALVO-4 on a virtual clock that reports the smallest
// picture (65 x 101, six reports a line), a pacer on that clock whose front
// end goes at its n-th pass or wait (0: never), and what the observer heard,
// in order.
struct Fixture {
    explicit Fixture(int gone_at_pass = 0, int gone_at_wait = 0) {
        pacer.leaveAt(sim::SimPacer::Turn::Pass, gone_at_pass);
        pacer.leaveAt(sim::SimPacer::Turn::Wait, gone_at_wait);
        rig.talvo.clock.makeVirtual();
        rig.talvo.capture.width = 65;
        rig.talvo.capture.height = 101;
        rig.link.DeviceFound = rig.link.FindDevice();
        observer.status = [this](const QString& text) { status << text; };
        observer.size_accepted = [this](const CaptureState&) {
            ++sizes_accepted;
            lines_before_size = int(lines.size());
        };
        observer.line = [this](int y, std::span<const uint8_t> line) {
            lines.push_back(y);
            const CaptureState& c = rig.program.capture;
            const size_t from = size_t(y) * size_t(c.frame_width) * 3;
            lines_match_buffer =
                lines_match_buffer && from + line.size() <= c.frame_buffer.size() &&
                std::equal(line.begin(), line.end(), c.frame_buffer.begin() + ptrdiff_t(from));
        };
        observer.before_capture_end = [this] {
            ++ends;
            commands_at_end = rig.talvo.commands().size();
        };
    }

    CaptureOutcome capture(StopRequest stop = {}, OnDeviceLost on_lost = OnDeviceLost::GoOn) {
        return RunCapture(rig.link, rig.program.capture, {pacer, std::move(stop), on_lost},
                          observer);
    }

    Rig rig;
    sim::SimPacer pacer{rig.talvo.clock, kCaptureTick};
    CaptureObserver observer;
    QStringList status;
    std::vector<int> lines;
    int sizes_accepted = 0;
    int lines_before_size = 0;
    size_t commands_at_end = 0;
    int ends = 0;
    bool lines_match_buffer = true;
};

bool IsBlack(const CaptureState& c, int first_line) {
    return std::all_of(c.frame_buffer.begin() + ptrdiff_t(first_line) * c.frame_width * 3,
                       c.frame_buffer.end(), [](uint8_t b) { return b == 0; });
}

constexpr CommandArray kCaptureEnd{0x16, 0x00, 0, 0, 0, 0, 0, 0};

enum class Sequence { Readiness, Capture, Record, Show, Live };

}  // namespace

class CaptureOperationsTest : public QObject {
    Q_OBJECT
  private slots:
    void readiness_data();
    void readiness();
    void wholeCapture_data();
    void wholeCapture();
    void endings_data();
    void endings();
    void sizeRejectedLeavesTheLastPicture();
    void frontEndGoes_data();
    void frontEndGoes();
    void givesUpAfterThreeSilentReads_data();
    void givesUpAfterThreeSilentReads();
    void twoSilentReadsAreNotEnough();
    void scatteredLostAnswersDoNotEndIt_data();
    void scatteredLostAnswersDoNotEndIt();
    void shortReportsGiveZeros();
    void vanishedDevice_data();
    void vanishedDevice();
    void refusedWhileTheLinkIsHeld_data();
    void refusedWhileTheLinkIsHeld();
    void recordSlotOnTheWire();
    void recordSlotEndings_data();
    void recordSlotEndings();
    void noSuchSlot_data();
    void noSuchSlot();
    void firstFreeSlot_data();
    void firstFreeSlot();
    void frameImage();
    void frameImageWithoutAPicture_data();
    void frameImageWithoutAPicture();
};

void CaptureOperationsTest::readiness_data() {
    QTest::addColumn<int>("selection");
    QTest::addColumn<int>("check");
    QTest::addColumn<QString>("text");
    QTest::newRow("2") << 2 << int(CaptureCheck::Passed) << texts::kReady;
    QTest::newRow("0") << 0 << int(CaptureCheck::NotReady) << texts::kSelectFpga;
    QTest::newRow("0x82") << 0x82 << int(CaptureCheck::NotReady) << texts::kSelectFpga;
}

void CaptureOperationsTest::readiness() {
    QFETCH(int, selection);
    QFETCH(int, check);
    QFETCH(QString, text);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.capture.fpga_selection = uint8_t(selection);
    rig.link.CommandBytes = {0, 0, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    const CaptureOutcome outcome = CheckCaptureReady(rig.link, fixture.observer);
    QCOMPARE(outcome.ending, Ending::Done);
    QCOMPARE(int(outcome.detail.check), check);
    QCOMPARE(fixture.status, QStringList{text});
    // The bytes after the argument go out as the previous command left them;
    // the picture-information query leaves the argument as the key put it.
    const std::vector<CommandArray> sent = rig.talvo.commands();
    QCOMPARE(sent.size(), size_t{3});
    QCOMPARE(sent[0], (CommandArray{0x17, 0x80, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    QCOMPARE(sent[1], (CommandArray{0x13, 0x17, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    QCOMPARE(sent[2], (CommandArray{0x14, 0x17, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}));
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void CaptureOperationsTest::wholeCapture_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("text");
    QTest::newRow("1001 x 101, tail blackened") << 1001 << 101 << PictureInfoText(1004, 101);
    QTest::newRow("widest") << 1984 << 101 << PictureInfoText(1984, 101);
    QTest::newRow("tallest") << 65 << 1299 << PictureInfoText(68, 1299);
}

void CaptureOperationsTest::wholeCapture() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, text);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.capture.width = uint16_t(width);
    rig.talvo.capture.height = uint16_t(height);
    const CaptureOutcome outcome = fixture.capture();
    QCOMPARE(outcome.ending, Ending::Done);
    QCOMPARE(outcome.detail.check, CaptureCheck::Passed);
    QVERIFY(outcome.detail.size.has_value());
    QCOMPARE(outcome.detail.size->frame_height, height);
    QCOMPARE(fixture.sizes_accepted, 1);
    QCOMPARE(fixture.lines_before_size, 0);
    std::vector<int> every_line(static_cast<size_t>(height));
    std::iota(every_line.begin(), every_line.end(), 0);
    QVERIFY(fixture.lines == every_line);
    QVERIFY(fixture.lines_match_buffer);
    QCOMPARE(fixture.pacer.passes(), height);
    QVERIFY(HoldsPattern(rig, 0, height));
    QCOMPARE(fixture.status, QStringList{text});
    // Every report of every line was read, and the front end heard of the
    // end before capture_end went out.
    const int reports = outcome.detail.size->reportsPerLine();
    QCOMPARE(rig.talvo.readsServed(), 1 + height * reports + 1);
    QCOMPARE(fixture.ends, 1);
    QCOMPARE(fixture.commands_at_end, size_t(1 + height));
    QCOMPARE(LastCommand(rig), kCaptureEnd);
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
    QVERIFY(!FrameImage(rig.program.capture).isNull());
}

void CaptureOperationsTest::endings_data() {
    QTest::addColumn<int>("stop_after_line");
    QTest::addColumn<int>("lines");
    QTest::newRow("stopped after line 4") << 4 << 5;
    QTest::newRow("stopped after the first line") << 0 << 1;
}

void CaptureOperationsTest::endings() {
    QFETCH(int, stop_after_line);
    QFETCH(int, lines);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.program.capture.stop_requested = 1;  // a stop left over from before counts for nothing
    const StopRequest stop = [&] { return int(fixture.lines.size()) > stop_after_line; };
    QCOMPARE(fixture.capture(stop).ending, Ending::Stopped);
    QCOMPARE(rig.program.capture.stop_requested, int16_t{0});
    QCOMPARE(int(fixture.lines.size()), lines);
    QCOMPARE(int(SentWithCode(rig, 0x15).size()), lines);
    QVERIFY(HoldsPattern(rig, 0, lines));
    QVERIFY(IsBlack(rig.program.capture, lines));
    QCOMPARE(fixture.status, QStringList{PictureInfoText(68, 101)});
    QCOMPARE(fixture.ends, 1);
    QCOMPARE(LastCommand(rig), kCaptureEnd);
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void CaptureOperationsTest::sizeRejectedLeavesTheLastPicture() {
    Fixture fixture;
    Rig& rig = fixture.rig;
    QVERIFY(fixture.capture().done());
    const CaptureState before = rig.program.capture;
    rig.talvo.capture.width = 64;
    rig.talvo.clearRecord();
    fixture.status.clear();
    const CaptureOutcome outcome = fixture.capture();
    QCOMPARE(outcome.ending, Ending::Done);
    QCOMPARE(outcome.detail.check, CaptureCheck::SizeRejected);
    QVERIFY(!outcome.detail.size);
    QCOMPARE(rig.talvo.commands(), (std::vector<CommandArray>{{0x14}, kCaptureEnd}));
    QCOMPARE(fixture.status, QStringList{texts::kNoInput});
    QCOMPARE(fixture.ends, 2);
    const CaptureState& after = rig.program.capture;
    QCOMPARE(after.source_width, before.source_width);
    QCOMPARE(after.frame_width, before.frame_width);
    QCOMPARE(after.frame_height, before.frame_height);
    QVERIFY(after.frame_buffer == before.frame_buffer);
}

void CaptureOperationsTest::frontEndGoes_data() {
    QTest::addColumn<bool>("program_ending");
    QTest::addColumn<int>("capture_ends");
    QTest::newRow("its window went: capture_end still goes out") << false << 1;
    QTest::newRow("the program ends: nothing more goes out") << true << 0;
}

void CaptureOperationsTest::frontEndGoes() {
    QFETCH(bool, program_ending);
    QFETCH(int, capture_ends);
    Fixture fixture(3);
    Rig& rig = fixture.rig;
    fixture.observer.program_ending = [program_ending] { return program_ending; };
    const CaptureOutcome outcome = fixture.capture();
    QCOMPARE(outcome.ending, Ending::FrontEndGone);
    QCOMPARE(outcome.detail.program_ending, program_ending);
    QCOMPARE(fixture.lines.size(), size_t{3});
    QCOMPARE(fixture.ends, 0);  // nothing of the front end is touched
    QCOMPARE(SentWithCode(rig, 0x15).size(), size_t{3});
    QCOMPARE(rig.talvo.capture.captureEnds(), capture_ends);
    QCOMPARE(LastCommand(rig)[0], uint8_t(capture_ends ? 0x16 : 0x15));
}

void CaptureOperationsTest::givesUpAfterThreeSilentReads_data() {
    QTest::addColumn<int>("on_lost");
    QTest::newRow("window") << int(OnDeviceLost::GoOn);
    QTest::newRow("terminal") << int(OnDeviceLost::End);
}

// A device that stops answering in line 2: the capture gives up after the
// third read that waited out its second, whichever the device-lost setting.
void CaptureOperationsTest::givesUpAfterThreeSilentReads() {
    QFETCH(int, on_lost);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == 2) rig.talvo.setSilent(true);
    };
    std::vector<int> silent_reads_at_line;
    const auto note_line = fixture.observer.line;
    fixture.observer.line = [&](int y, std::span<const uint8_t> line) {
        note_line(y, line);
        silent_reads_at_line.push_back(rig.link.health().silent_reads_in_a_row);
    };
    // Back to answering for capture_end.
    fixture.observer.before_capture_end = [&] { rig.talvo.setSilent(false); };
    // A bound for a capture that would not give up: it stops after line 4.
    const StopRequest stop = [&] { return fixture.lines.size() >= 5; };
    QCOMPARE(fixture.capture(stop, OnDeviceLost(on_lost)).ending, Ending::DeviceSilent);
    // Three reads waited out in line 2, not two and not a fourth.
    QCOMPARE(silent_reads_at_line, (std::vector<int>{0, 0, 3}));
    QCOMPARE(fixture.status.back(), texts::kDeviceSilent);
    QCOMPARE(LastCommand(rig), kCaptureEnd);
    QVERIFY(HoldsPattern(rig, 0, 2));
}

// Two reads in a row that wait out their second, then the answers come:
// the capture goes on to its last line. The late line's last two answers,
// still queued at the next line request, are dropped before it: every other
// line holds its own picture, none is shifted.
void CaptureOperationsTest::twoSilentReadsAreNotEnough() {
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.capture.on_line_request = [&](int line) {
        rig.talvo.setAnswerDelay(line == 1 ? 2500ms : 0ms);
    };
    QCOMPARE(fixture.capture({}, OnDeviceLost::End).ending, Ending::Done);
    // Of the query's read, 606 line reads and capture_end's read, two went unanswered.
    QCOMPARE(rig.talvo.readsServed(), 1 + 101 * 6 + 1 - 2);
    QCOMPARE(fixture.lines.size(), size_t{101});
    QVERIFY(!fixture.status.contains(texts::kDeviceSilent));
    QCOMPARE(LastCommand(rig), kCaptureEnd);
    QVERIFY(HoldsPattern(rig, 0, 1));
    QVERIFY(HoldsPattern(rig, 2, 101));
}

void CaptureOperationsTest::scatteredLostAnswersDoNotEndIt_data() {
    QTest::addColumn<int>("every");
    QTest::addColumn<int>("on_lost");
    // Two of a line's six answers lost: its last two reads wait out their
    // second, then the next line's answers come.
    QTest::newRow("every third, terminal") << 3 << int(OnDeviceLost::End);
    QTest::newRow("every third, window") << 3 << int(OnDeviceLost::GoOn);
    QTest::newRow("every 50th, terminal") << 50 << int(OnDeviceLost::End);
}

// A device that misses single answers between good ones, never three reads
// in a row: the capture runs to its last line.
void CaptureOperationsTest::scatteredLostAnswersDoNotEndIt() {
    QFETCH(int, every);
    QFETCH(int, on_lost);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.loseAnswers([every](int answer) { return answer % every == every - 1; });
    int most_silent_reads = 0;
    const auto note_line = fixture.observer.line;
    fixture.observer.line = [&](int y, std::span<const uint8_t> line) {
        note_line(y, line);
        most_silent_reads = std::max(most_silent_reads, rig.link.health().silent_reads_in_a_row);
    };
    QCOMPARE(fixture.capture({}, OnDeviceLost(on_lost)).ending, Ending::Done);
    QVERIFY(most_silent_reads > 0 && most_silent_reads < 3);
    QCOMPARE(fixture.lines.size(), size_t{101});
    QCOMPARE(SentWithCode(rig, 0x15).size(), size_t{101});
    QCOMPARE(LastCommand(rig), kCaptureEnd);
}

void CaptureOperationsTest::shortReportsGiveZeros() {
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.setInputDataLength(10);
    QVERIFY(fixture.capture().done());
    const CaptureState& c = rig.program.capture;
    QVERIFY(FrameMatchesSizes(c) && c.frame_width == 68 && c.frame_height == 101);
    for (int y = 0; y < 101; ++y)
        for (int k = 0; k < 65 * 3; ++k) {
            const sim::PatternPixel p = rig.talvo.capture.pattern(k / 3, y);
            const uint8_t sent = k % 3 == 0 ? p.red : k % 3 == 1 ? p.green : p.blue;
            const uint8_t want = k % 64 < 10 ? sent : 0;
            QCOMPARE(c.frame_buffer[(size_t(y) * 68 + k / 3) * 3 + 2 - k % 3], want);
        }
}

void CaptureOperationsTest::vanishedDevice_data() {
    QTest::addColumn<int>("vanish_after");  // output reports the device still takes
    QTest::addColumn<int>("on_lost");
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("lines");
    QTest::newRow("before the size, terminal")
        << 0 << int(OnDeviceLost::End) << int(Ending::DeviceLost) << 0;
    QTest::newRow("after 2 lines, terminal")
        << 4 << int(OnDeviceLost::End) << int(Ending::DeviceLost) << 3;
    // Failed reads alone tell a window nothing: until the main window hears
    // from the system that the device went (and its stop request says so),
    // the sequence runs through its lines on zeros.
    QTest::newRow("after 2 lines, window")
        << 4 << int(OnDeviceLost::GoOn) << int(Ending::Done) << 101;
}

void CaptureOperationsTest::vanishedDevice() {
    QFETCH(int, vanish_after);
    QFETCH(int, on_lost);
    QFETCH(int, ending);
    QFETCH(int, lines);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.talvo.vanishAfter(vanish_after);
    QCOMPARE(int(fixture.capture({}, OnDeviceLost(on_lost)).ending), ending);
    QCOMPARE(int(fixture.lines.size()), lines);
    QCOMPARE(fixture.ends, 1);
    QVERIFY(rig.link.deviceLost());
    // Lines that arrived before the device went are kept.
    if (lines > 0) QVERIFY(HoldsPattern(rig, 0, 2));
}

void CaptureOperationsTest::refusedWhileTheLinkIsHeld_data() {
    QTest::addColumn<int>("sequence");
    QTest::newRow("readiness check") << int(Sequence::Readiness);
    QTest::newRow("capture") << int(Sequence::Capture);
    QTest::newRow("REC") << int(Sequence::Record);
    QTest::newRow("show a slot") << int(Sequence::Show);
    QTest::newRow("live picture") << int(Sequence::Live);
}

void CaptureOperationsTest::refusedWhileTheLinkIsHeld() {
    QFETCH(int, sequence);
    Fixture fixture;
    Rig& rig = fixture.rig;
    rig.program.capture.stop_requested = 1;
    const DeviceLink::Exclusive other_sequence(rig.link);
    Ending ending = Ending::Done;
    switch (Sequence(sequence)) {
        case Sequence::Readiness:
            ending = CheckCaptureReady(rig.link, fixture.observer).ending;
            break;
        case Sequence::Capture:
            ending = fixture.capture().ending;
            break;
        case Sequence::Record:
            ending = RecordSlot(rig.link, 1, {fixture.pacer}).ending;
            break;
        case Sequence::Show:
            ending = ShowSlot(rig.link, 1).ending;
            break;
        case Sequence::Live:
            ending = ShowLivePicture(rig.link).ending;
            break;
    }
    QCOMPARE(ending, Ending::DeviceBusy);
    QVERIFY(rig.talvo.commands().empty());
    QCOMPARE(rig.link.heldOffCount(), 0);
    QVERIFY(fixture.status.isEmpty());
    QCOMPARE(fixture.ends, 0);
    QCOMPARE(fixture.pacer.waits(), 0);
    QCOMPARE(rig.program.capture.stop_requested, int16_t{1});
}

// "REC" into slot 2: its three codes in order, 100 ms and 400 ms apart on
// the device's clock.
void CaptureOperationsTest::recordSlotOnTheWire() {
    Fixture fixture;
    Rig& rig = fixture.rig;
    const Outcome<SlotCheck> outcome = RecordSlot(rig.link, 2, {fixture.pacer});
    QVERIFY(outcome.done());
    QCOMPARE(outcome.detail, SlotCheck::Passed);
    const SlotCodes codes = CodesOfSlot(2);
    QCOMPARE(rig.talvo.commands(), (std::vector<CommandArray>{{0x17, codes.record_first},
                                                              {0x17, codes.record_second},
                                                              {0x17, codes.record_third}}));
    const auto& reports = rig.talvo.reports();
    QVERIFY(reports[1].time - reports[0].time == 100ms);
    QVERIFY(reports[2].time - reports[1].time == 400ms);
    QCOMPARE(rig.talvo.queuedAnswers(), size_t{0});
}

void CaptureOperationsTest::recordSlotEndings_data() {
    QTest::addColumn<int>("gone_at_wait");  // 0: never
    QTest::addColumn<int>("silent_after");  // -1: never
    QTest::addColumn<int>("on_lost");
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("codes");
    QTest::newRow("front end gone in the first wait")
        << 1 << -1 << int(OnDeviceLost::End) << int(Ending::FrontEndGone) << 1;
    QTest::newRow("front end gone in the second wait")
        << 2 << -1 << int(OnDeviceLost::End) << int(Ending::FrontEndGone) << 2;
    // A device gone quiet still gets the rest of the recording.
    QTest::newRow("silent from the first code, terminal")
        << 0 << 0 << int(OnDeviceLost::End) << int(Ending::DeviceSilent) << 3;
    QTest::newRow("silent from the first code, window")
        << 0 << 0 << int(OnDeviceLost::GoOn) << int(Ending::Done) << 3;
}

void CaptureOperationsTest::recordSlotEndings() {
    QFETCH(int, gone_at_wait);
    QFETCH(int, silent_after);
    QFETCH(int, on_lost);
    QFETCH(int, ending);
    QFETCH(int, codes);
    Fixture fixture(0, gone_at_wait);
    Rig& rig = fixture.rig;
    if (silent_after >= 0) rig.talvo.silentAfter(silent_after);
    // The user's stop is never asked: a recording cannot be stopped half-way.
    const StopRequest stop = [] { return true; };
    const Outcome<SlotCheck> outcome =
        RecordSlot(rig.link, 4, {fixture.pacer, stop, OnDeviceLost(on_lost)});
    QCOMPARE(int(outcome.ending), ending);
    QCOMPARE(int(rig.talvo.commands().size()), codes);
}

void CaptureOperationsTest::noSuchSlot_data() {
    QTest::addColumn<int>("slot");
    QTest::newRow("0") << 0;
    QTest::newRow("5") << 5;
    QTest::newRow("-1") << -1;
    QTest::newRow("256") << 256;
}

void CaptureOperationsTest::noSuchSlot() {
    QFETCH(int, slot);
    Fixture fixture;
    Rig& rig = fixture.rig;
    for (const Outcome<SlotCheck>& outcome :
         {RecordSlot(rig.link, slot, {fixture.pacer}), ShowSlot(rig.link, slot)}) {
        QCOMPARE(outcome.ending, Ending::Done);
        QCOMPARE(outcome.detail, SlotCheck::NoSuchSlot);
    }
    QVERIFY(rig.talvo.commands().empty());
    QCOMPARE(fixture.pacer.waits(), 0);
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
