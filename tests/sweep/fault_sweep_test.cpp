// Every device sequence against a device that vanishes, or falls silent,
// after each of its reports in turn: k = 0 (before the first report) up to
// the sequence's last report. Each run must end within the bound its
// sequence names, tell its front end what the front end tells its user, and
// leave no handle open. The device's clock is virtual, so a silent device
// costs no real time.

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <functional>
#include <memory>

#include "capture/capture_operations.h"
#include "capture/capture_texts.h"
#include "capture/slot_operations.h"
#include "device/device_link.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/rom_write.h"
#include "sim/exchange_log.h"
#include "sim/sim_pacer.h"
#include "sim/sim_platform.h"
#include "tests/support/test_main.h"
#include "timing/timing_operations.h"
#include "timing/timing_parameters.h"

using namespace talvo;
using namespace std::chrono_literals;

namespace {

enum class Fault { None, Vanish, Silent };
// How the sequence is run: the way the windows run it (they go on when the
// device is lost), or the way the terminal tool does (it ends the sequence
// and tells its user, exit code 4).
enum class Front { Window, Terminal };

// What the front end gets to tell its user.
struct Told {
    bool failure = false;  // the outcome says the device failed
    QString text;          // the last status text, where the sequence gives texts
};

struct Device {
    sim::TalvoModel& model;
    DeviceLink& link;
    sim::SimPacer& pacer;
};

struct Operation {
    const char* name;
    // The bounds every run must end within, faults or not.
    int most_reports;
    int most_reads;
    std::chrono::milliseconds most_time;  // on the device's clock
    std::chrono::milliseconds tick;
    // Reports at the end whose answers the outcome does not depend on: a
    // fault there need not be told.
    int closing_reports = 0;
    std::function<Told(Device, Front)> run;
    // What the window may say when the sequence is told the device failed;
    // empty where the window stays silent (it always has).
    QStringList window_texts = {};
    // Whether the window also tells a vanished device (reads that fail at
    // once), not only a silent one.
    bool window_tells_vanish = false;
    // A fault that costs an answer to one of this many first reports ends
    // the window's sequence too, without a word: the read-back cannot go on
    // without the mode's answer.
    int window_ends_within = 0;
};

// The 4 KiB file the ROM write sends.
QString RomFile(const QTemporaryDir& folder) {
    const QString path = folder.filePath(QStringLiteral("rom.bin"));
    QFile file(path);
    QByteArray bytes(4096, 0);
    for (int i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + 1);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

TimingState InTimingMode() {
    TimingState timing;
    timing.timing_base = 0x20;
    timing.timing_page = 0x5A;
    return timing;
}

// The device-lost setting each front end gives every sequence.
OnDeviceLost OnLostFor(Front front) {
    return front == Front::Terminal ? OnDeviceLost::End : OnDeviceLost::GoOn;
}

bool TimingFailed(const TimingOutcome& outcome) {
    return outcome.ending == Ending::DeviceLost || outcome.ending == Ending::DeviceSilent;
}

FrontEnd FrontEndFor(Device device, Front front) { return {device.pacer, {}, OnLostFor(front)}; }

// A 65 x 101 picture, the smallest accepted: 6 reports a line.
Told Capture(Device device, Front front) {
    device.model.capture.width = 65;
    device.model.capture.height = 101;
    CaptureState state;
    Told told;
    CaptureObserver observer;
    observer.status = [&](const QString& text) { told.text = text; };
    observer.line = [&](int y, std::span<const uint8_t> line) {
        QVERIFY(y >= 0 && y < state.frame_height);
        QCOMPARE(line.size(), size_t(state.frame_width) * 3);
    };
    const CaptureOutcome outcome =
        RunCapture(device.link, state, FrontEndFor(device, front), observer);
    // The picture and its sizes agree whatever happened.
    if (state.frame_buffer.size() != size_t(state.frame_width) * size_t(state.frame_height) * 3)
        QTest::qFail("picture and sizes disagree", __FILE__, __LINE__);
    // A size answer that never came reads as no picture at all.
    told.failure = !outcome.done() || outcome.detail.check == CaptureCheck::SizeRejected;
    return told;
}

// The window says nothing of a lost device; the terminal hears it from the ending.
Told Record(Device device, Front front) {
    const Outcome<SlotCheck> outcome = RecordSlot(device.link, 1, FrontEndFor(device, front));
    if (outcome.ending == Ending::FrontEndGone)
        QTest::qFail("the recording did not send its codes", __FILE__, __LINE__);
    return {!outcome.done(), {}};
}

Told ReadBack(Device device, Front front) {
    TimingState timing;
    return {TimingFailed(StartTimingMode(device.link, timing, FrontEndFor(device, front))), {}};
}

Told BarWrite(Device device, Front front) {
    TimingState timing = InTimingMode();
    const TimingParameter& h2size = kTimingParameters[size_t(TimingParameterIndex("h2size"))];
    return {TimingFailed(WriteTimingParameter(device.link, timing, h2size, 301, OnLostFor(front))),
            {}};
}

// The image as it stands, as after a cancelled file dialog.
Told Load(Device device, Front front) {
    TimingState timing = InTimingMode();
    return {
        TimingFailed(LoadTimingData(device.link, timing, std::nullopt, FrontEndFor(device, front))),
        {}};
}

Told Write(Device device, Front front, const QString& file) {
    Told told;
    RomWriteObserver observer;
    observer.status = [&](const QString& text) { told.text = text; };
    const Outcome<RomWriteDetail> outcome =
        WriteRom(device.link, kRomAddress, file, FrontEndFor(device, front), observer);
    told.failure = !outcome.done() || outcome.detail.result == RomWriteResult::NoChecksumAnswer;
    return told;
}

std::vector<Operation> Operations(const QString& rom_file) {
    // Status polls for at most kChecksumWait, each after a wait of two ticks.
    const int most_polls = int(kChecksumWait / (2 * kMainTick)) + 1;
    return {
        // Picture information, 101 line requests, capture_end. The third read
        // in a row that waits out its second ends the capture.
        {.name = "capture",
         .most_reports = 1 + 101 + 1,
         .most_reads = 1 + 101 * 6 + 1,
         .most_time = 10s,
         .tick = kCaptureTick,
         .closing_reports = 1,
         .run = Capture,
         .window_texts = {capture_texts::kDeviceSilent, capture_texts::kNoInput}},
        // "REC" into slot 1: three codes, a wait of 1 and of 4 ticks between.
        {.name = "REC",
         .most_reports = 3,
         .most_reads = 3,
         .most_time = 4s,
         .tick = kCaptureTick,
         .run = Record},
        // Entering timing mode and ten reads, each followed by three ticks.
        {.name = "timing read-back",
         .most_reports = 11,
         .most_reads = 11,
         .most_time = 12s,
         .tick = kMainTick,
         .run = ReadBack,
         .window_ends_within = 1},
        // One bar moved: its group and the closing report.
        {.name = "bar write",
         .most_reports = 2,
         .most_reads = 2,
         .most_time = 2s,
         .tick = kMainTick,
         .run = BarWrite},
        // Nineteen groups, three ticks after each, and the closing report.
        {.name = "load",
         .most_reports = 20,
         .most_reads = 20,
         .most_time = 21s,
         .tick = kMainTick,
         .run = Load},
        // A 4 KiB file: one sector erase, the write start, 512 data reports,
        // the checksum request and the polls.
        {.name = "ROM write",
         .most_reports = 1 + 1 + 512 + 1 + most_polls,
         .most_reads = 1 + 1 + most_polls,
         .most_time = 20s,
         .tick = kMainTick,
         .run = [rom_file](Device device, Front front) { return Write(device, front, rom_file); },
         .window_texts = {rom_texts::kNoChecksum},
         .window_tells_vanish = true},
    };
}

// The fault-free run, whose traffic says where each fault falls.
struct CleanRun {
    std::vector<sim::Exchange> log;
    int reports = 0;

    // Reads that the outcome depends on and that consume answers to reports
    // after the k-th: the reads a silent device leaves waiting. At least
    // that many, since a sequence may read more once answers stop (polls).
    int readsAfter(int k, int closing_reports) const {
        int writes = 0;
        int reads = 0;
        for (const auto& exchange : log) {
            if (!exchange.is_read) {
                ++writes;
            } else if (writes > k && writes <= reports - closing_reports) {
                ++reads;
            }
        }
        return reads;
    }
};

struct RunResult {
    Told told;
    int reports = 0;
    int reads = 0;
    std::chrono::steady_clock::duration device_time{};
    std::vector<sim::Exchange> log;
    int open_handles_after = -1;
};

// Every run on a fresh device; one model reset per run, since building its
// 2 MiB ROM anew would cost more than most runs.
RunResult RunOnce(const Operation& operation, Front front, Fault fault, int k) {
    static sim::TalvoModel model;
    model.reset();
    RunResult result;
    model.clock.makeVirtual();
    sim::SimPlatform platform(model);
    {
        DeviceLink link(platform);
        if (!link.FindDevice()) return result;
        sim::ExchangeLog log(model);
        sim::SimPacer pacer(model.clock, operation.tick);
        if (fault == Fault::Vanish) model.vanishAfter(k);
        if (fault == Fault::Silent) model.silentAfter(k);
        const auto start = model.clock.now();
        result.told = operation.run({model, link, pacer}, front);
        result.device_time = model.clock.now() - start;
        result.reports = log.writes();
        result.reads = log.reads();
        result.log = log.all();
    }
    result.open_handles_after = platform.openHandles();
    return result;
}

const char* FaultName(Fault fault) { return fault == Fault::Vanish ? "vanish" : "silent"; }
const char* FrontEndName(Front front) { return front == Front::Terminal ? "terminal" : "window"; }

}  // namespace

class FaultSweepTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(folder_.isValid()); }

    void sweep_data() {
        QTest::addColumn<int>("index");
        const auto operations = Operations({});
        for (size_t i = 0; i < operations.size(); ++i) QTest::newRow(operations[i].name) << int(i);
    }

    void sweep() {
        QFETCH(int, index);
        const QString rom_file = RomFile(folder_);
        QVERIFY(!rom_file.isEmpty());
        const Operation operation = Operations(rom_file).at(size_t(index));

        // The fault-free run: it succeeds, within its bounds.
        const RunResult clean_run = RunOnce(operation, Front::Terminal, Fault::None, 0);
        QVERIFY(!clean_run.told.failure);
        QVERIFY(clean_run.reports > 0 && clean_run.reports <= operation.most_reports);
        const CleanRun clean{clean_run.log, clean_run.reports};

        int cases = 0;
        qint64 longest_ms = 0;
        for (Fault fault : {Fault::Vanish, Fault::Silent})
            for (Front front : {Front::Terminal, Front::Window})
                for (int k = 0; k <= clean.reports; ++k) {
                    const QByteArray where = QByteArray(FaultName(fault)) + " after " +
                                             QByteArray::number(k) + ", " + FrontEndName(front);
                    QElapsedTimer timer;
                    timer.start();
                    const RunResult run = RunOnce(operation, front, fault, k);
                    longest_ms = std::max(longest_ms, timer.elapsed());
                    ++cases;
                    if (QTest::currentTestFailed()) QFAIL(where.constData());

                    // Within the bounds, and nothing left open.
                    QVERIFY2(run.reports <= operation.most_reports, where);
                    QVERIFY2(run.reads <= operation.most_reads, where);
                    QVERIFY2(run.device_time <= operation.most_time, where);
                    QVERIFY2(run.open_handles_after == 0, where);

                    // Told where the fault costs the sequence something it needs.
                    const bool noticeable = fault == Fault::Vanish
                                                ? k <= clean.reports - operation.closing_reports
                                                : clean.readsAfter(k, operation.closing_reports) >=
                                                      DeviceLink::kSilentReadsForLost;
                    if (front == Front::Terminal) {
                        if (noticeable) QVERIFY2(run.told.failure, where);
                        continue;
                    }
                    // A device that vanishes takes the last report's answer with it.
                    const int answered = fault == Fault::Vanish ? k - 1 : k;
                    if (std::max(answered, 0) < operation.window_ends_within) {
                        QVERIFY2(run.told.failure, where);
                        continue;
                    }
                    // The windows tell only what they have texts for.
                    if (run.told.failure)
                        QVERIFY2(operation.window_texts.contains(run.told.text), where);
                    const bool window_tells =
                        !operation.window_texts.isEmpty() &&
                        (fault == Fault::Silent || operation.window_tells_vanish);
                    if (noticeable && window_tells) QVERIFY2(run.told.failure, where);
                }
        qInfo(
            "%s: %d fault cases (k = 0..%d, vanish and silent, window and terminal), "
            "longest %lld ms",
            operation.name, cases, clean.reports, longest_ms);
    }

  private:
    QTemporaryDir folder_;
};

TALVO_TEST_GUILESS_MAIN(FaultSweepTest)
#include "fault_sweep_test.moc"
