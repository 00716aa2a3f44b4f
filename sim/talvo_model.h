#pragma once
// The simulated TALVO-4: answers every command the tool sends the way the
// device does at the tool's call sites, records every output report, and can
// be told to misbehave (stay silent, answer late, send short reports, vanish,
// or answer whatever a script of bytes says).

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "device/hid_platform.h"
#include "sim/answers.h"
#include "sim/capture_model.h"
#include "sim/link_pace.h"
#include "sim/rom_model.h"
#include "sim/sim_clock.h"
#include "sim/timing_model.h"

namespace talvo::sim {

// The bytes a scripted device answers from: the next one, or nullopt when
// there are no more.
using ByteSource = std::function<std::optional<uint8_t>()>;
// A source that hands out `bytes` in order.
ByteSource BytesSource(std::vector<uint8_t> bytes);

struct RecordedReport {
    Clock::time_point time;
    std::vector<uint8_t> bytes;  // the whole output report, byte 0 the report ID
    // Command bytes 1 to 8 (element 0 travels in report byte 1).
    CommandArray command() const;
};

// The device's report descriptor: 64-byte input and 8-byte output reports,
// no report IDs, so its lengths come out as 65 and 9.
std::span<const uint8_t> TalvoReportDescriptor();

class TalvoModel {
  public:
    TalvoModel();
    // Back to the state it was constructed in, reusing the memory of its
    // ROM: building a fresh 2 MiB ROM is most of what a fuzz run costs.
    void reset();

    // Subsystem models, each answering its own commands.
    RomModel rom;
    TimingModel timing;
    CaptureModel capture;
    // Times the answers and the reads' waits; real unless a test makes it
    // virtual.
    SimClock clock;

    // Instant unless set: reports pass as fast as the host goes.
    void setLinkSpeed(LinkSpeed speed) { link_speed_ = speed; }
    LinkSpeed linkSpeed() const { return link_speed_; }

    // Faults.
    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }
    void setAnswerDelay(std::chrono::milliseconds delay) { answer_delay_ = delay; }
    // Data bytes per input report (64 on the real device).
    void setInputDataLength(size_t length) { input_data_length_ = length; }
    // The next answers the device gives are these bytes instead of its own.
    void queueOverride(const Answer& answer) { overrides_.push_back(answer); }
    // After `reports` more output reports the device is gone: writes fail
    // and reads fail at once.
    void vanishAfter(int reports);
    bool vanished() const { return vanished_; }
    // After `reports` more output reports the device takes none of the next
    // `writes` writes: each fails with `error` (EPIPE: the device stalled
    // it), and the device stays present.
    void failWritesAfter(int reports, int writes, int error);
    // Why the last write failed: its error number, ENODEV once vanished.
    int lastWriteError() const { return last_write_error_; }
    // After `reports` more output reports the device falls silent: it still
    // takes reports but answers none of the later ones.
    void silentAfter(int reports);
    // The answers for which `lost` says true never come. It is asked once
    // for every answer of the device's own, numbered from 0 in order.
    void loseAnswers(std::function<bool(int answer)> lost) {
        lose_answer_ = std::move(lost);
        answers_made_ = 0;
    }

    // What the tool sent.
    const std::vector<RecordedReport>& reports() const { return reports_; }
    std::vector<CommandArray> commands() const;
    void clearRecord() { reports_.clear(); }
    // Called for every output report the device receives (the demo prints them).
    std::function<void(const RecordedReport&)> on_report;
    size_t queuedAnswers() const { return queue_.size(); }
    int readsServed() const { return reads_served_; }
    // Every read asked of the device, also those that failed or waited out
    // their wait.
    int readsAsked() const { return reads_asked_; }
    // Called after every read with its outcome and the buffer as it left it
    // (byte 0 the report ID).
    std::function<void(ReadOutcome, std::span<const uint8_t>)> on_read;

    // Scripted answers: every input report the device would give is taken
    // from `source` instead. Per report one header byte: its low seven bits
    // are the number of data bytes that follow (0 to 64; a larger number:
    // this report is never sent), its top bit adds one more report after
    // it, which the tool did not ask for. Once the source runs dry the
    // device answers nothing more. The models still take every command.
    // An empty function ends the script.
    void scriptAnswers(ByteSource source) { script_ = std::move(source); }

    // Used by the simulated connections.
    bool write(std::span<const uint8_t> report);
    // Drops the answers that have arrived by now; returns how many.
    int discardArrived();
    ReadOutcome read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout);

  private:
    struct Pending {
        Clock::time_point ready_at;
        std::vector<uint8_t> data;
    };
    void dispatch(const CommandArray& command, Answers& answers);
    void enqueue(const Answers& answers);
    void enqueueScripted(size_t answers, Clock::time_point ready_at);
    ReadOutcome take(std::span<uint8_t> buffer, std::chrono::milliseconds timeout);
    void vanish();
    // When an answer ready at `ready` can be read, at the link's speed.
    Clock::time_point delivered(Clock::time_point ready);

    // reset() sets every member below back to how it is initialised here.
    std::vector<RecordedReport> reports_;
    ByteSource script_;
    std::deque<Pending> queue_;
    std::deque<Answer> overrides_;
    bool silent_ = false;
    std::chrono::milliseconds answer_delay_{0};
    size_t input_data_length_ = kInputDataLength;
    std::optional<int> vanish_after_;
    std::optional<int> silent_after_;
    std::optional<int> fail_writes_after_;
    int writes_to_fail_ = 0;
    int write_error_ = 0;
    int last_write_error_ = 0;
    std::function<bool(int)> lose_answer_;
    int answers_made_ = 0;
    bool vanished_ = false;
    int reads_served_ = 0;
    int reads_asked_ = 0;
    LinkSpeed link_speed_ = LinkSpeed::Instant;
    FrameLane out_frames_;
    Clock::duration out_late_{};  // how late this process woke from the last frame
    FrameLane in_frames_;
};

}  // namespace talvo::sim
