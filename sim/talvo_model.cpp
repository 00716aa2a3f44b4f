#include "sim/talvo_model.h"

#include <algorithm>
#include <cerrno>

namespace talvo::sim {
namespace {

constexpr uint8_t kDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor defined 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output (Data, Variable, Absolute)
    0xC0,              // End Collection
};

bool IsRomCommand(uint8_t code) {
    return code == 0x00 || code == 0x01 || code == 0x04 || code == 0x05 || code == 0x06;
}

// Header byte of a scripted report.
constexpr uint8_t kScriptLengthMask = 0x7F;
constexpr uint8_t kScriptOneMore = 0x80;

}  // namespace

ByteSource BytesSource(std::vector<uint8_t> bytes) {
    return [bytes = std::move(bytes), next = size_t{0}]() mutable -> std::optional<uint8_t> {
        if (next >= bytes.size()) return std::nullopt;
        return bytes[next++];
    };
}

CommandArray RecordedReport::command() const {
    CommandArray command{};
    for (size_t i = 0; i < command.size() && i + 1 < bytes.size(); ++i) command[i] = bytes[i + 1];
    return command;
}

std::span<const uint8_t> TalvoReportDescriptor() { return kDescriptor; }

TalvoModel::TalvoModel() = default;

void TalvoModel::reset() {
    static const RomModel kFreshRom;
    rom = kFreshRom;  // keeps the memory it has for when it is next used
    timing = TimingModel();
    capture = CaptureModel();
    clock = SimClock();
    on_report = {};
    on_read = {};
    // Every member below, as it is initialised.
    reports_.clear();
    script_ = {};
    queue_.clear();
    overrides_.clear();
    silent_ = false;
    answer_delay_ = std::chrono::milliseconds{0};
    input_data_length_ = kInputDataLength;
    vanish_after_.reset();
    silent_after_.reset();
    fail_writes_after_.reset();
    writes_to_fail_ = 0;
    write_error_ = 0;
    last_write_error_ = 0;
    lose_answer_ = {};
    answers_made_ = 0;
    vanished_ = false;
    reads_served_ = 0;
    reads_asked_ = 0;
    link_speed_ = LinkSpeed::Instant;
    out_frames_ = FrameLane();
    out_late_ = {};
    in_frames_ = FrameLane();
}

std::vector<CommandArray> TalvoModel::commands() const {
    std::vector<CommandArray> list;
    list.reserve(reports_.size());
    for (const auto& report : reports_) list.push_back(report.command());
    return list;
}

bool TalvoModel::write(std::span<const uint8_t> report) {
    if (vanished_) {
        last_write_error_ = ENODEV;
        return false;
    }
    if (fail_writes_after_ && *fail_writes_after_ <= 0 && writes_to_fail_ > 0) {
        // Refused before the device looked at it: nothing is recorded.
        if (--writes_to_fail_ == 0) fail_writes_after_.reset();
        last_write_error_ = write_error_;
        return false;
    }
    if (fail_writes_after_) --*fail_writes_after_;
    if (link_speed_ == LinkSpeed::Usb) {
        // The host's write returns once its report went out in a frame. Where
        // this process woke late from that wait, on a busy machine, the frames
        // went on meanwhile: that lateness is the device's, not the host's, and
        // the next report may still take the frames it missed.
        const Clock::time_point sent = out_frames_.arrival(clock.now() - out_late_);
        clock.sleepUntil(sent);
        out_late_ = std::max(clock.now() - sent, Clock::duration::zero());
    }
    reports_.push_back({clock.now(), std::vector<uint8_t>(report.begin(), report.end())});
    if (on_report) on_report(reports_.back());

    const CommandArray command = reports_.back().command();
    Answers answers;
    if (rom.inDataPhase())
        rom.data(command, answers);
    else
        dispatch(command, answers);
    enqueue(answers);
    if (vanish_after_ && --*vanish_after_ <= 0) vanish();
    if (silent_after_ && --*silent_after_ <= 0) {
        silent_ = true;
        silent_after_.reset();
    }
    return true;
}

void TalvoModel::failWritesAfter(int reports, int writes, int error) {
    fail_writes_after_ = reports;
    writes_to_fail_ = writes;
    write_error_ = error;
}

int TalvoModel::discardArrived() {
    int discarded = 0;
    while (!queue_.empty() && queue_.front().ready_at <= clock.now()) {
        queue_.pop_front();
        ++discarded;
    }
    return discarded;
}

void TalvoModel::silentAfter(int reports) {
    silent_after_ = reports;
    if (reports <= 0) {
        silent_ = true;
        silent_after_.reset();
    }
}

void TalvoModel::vanishAfter(int reports) {
    vanish_after_ = reports;
    if (reports <= 0) vanish();
}

void TalvoModel::vanish() {
    vanished_ = true;
    vanish_after_.reset();
    queue_.clear();
}

void TalvoModel::dispatch(const CommandArray& command, Answers& answers) {
    const uint8_t code = command[0];
    if (IsRomCommand(code)) {
        rom.command(command, answers);
    } else if (code >= 0x0F && code <= 0x12) {
        timing.command(command, answers);
    } else if (code >= 0x14 && code <= 0x17) {
        capture.command(command, answers);
    } else {
        // Remote keys and anything unknown: an answer the tool reads and ignores.
        answers.add({code, command[1]});
    }
}

void TalvoModel::enqueue(const Answers& answers) {
    if (silent_) return;
    const auto ready_at = clock.now() + answer_delay_;
    if (script_) {
        enqueueScripted(answers.list().size(), ready_at);
        return;
    }
    for (const Answer& own : answers.list()) {
        if (lose_answer_ && lose_answer_(answers_made_++)) continue;
        Answer answer = own;
        if (!overrides_.empty()) {
            answer = overrides_.front();
            overrides_.pop_front();
        }
        const size_t length = std::min(input_data_length_, answer.size());
        queue_.push_back(
            {delivered(ready_at), std::vector<uint8_t>(answer.begin(), answer.begin() + length)});
    }
}

void TalvoModel::enqueueScripted(size_t answers, Clock::time_point ready_at) {
    for (size_t i = 0; i < answers; ++i) {
        bool one_more = true;
        while (one_more) {
            const std::optional<uint8_t> header = script_();
            if (!header) return;  // run dry: nothing more, ever
            one_more = (*header & kScriptOneMore) != 0;
            const size_t length = *header & kScriptLengthMask;
            if (length > kInputDataLength) continue;  // a report lost on the way
            std::vector<uint8_t> data(length);
            for (uint8_t& byte : data) {
                const std::optional<uint8_t> next = script_();
                if (!next) return;
                byte = *next;
            }
            data.resize(std::min(data.size(), input_data_length_));
            queue_.push_back({delivered(ready_at), std::move(data)});
        }
    }
}

Clock::time_point TalvoModel::delivered(Clock::time_point ready) {
    return link_speed_ == LinkSpeed::Usb ? in_frames_.arrival(ready) : ready;
}

ReadOutcome TalvoModel::read(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) {
    ++reads_asked_;
    const ReadOutcome outcome = take(buffer, timeout);
    if (on_read) on_read(outcome, buffer);
    return outcome;
}

ReadOutcome TalvoModel::take(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) {
    if (vanished_) return ReadOutcome::Failed;
    const auto deadline = clock.now() + timeout;
    if (queue_.empty() || queue_.front().ready_at > deadline) {
        clock.sleepUntil(deadline);
        return ReadOutcome::TimedOut;
    }
    clock.sleepUntil(queue_.front().ready_at);
    const std::vector<uint8_t> data = std::move(queue_.front().data);
    queue_.pop_front();
    ++reads_served_;
    if (buffer.empty()) return ReadOutcome::Completed;
    // Byte 0 is the report ID (the device uses none), the data follows.
    buffer[0] = 0;
    const size_t length = std::min(data.size(), buffer.size() - 1);
    std::copy_n(data.begin(), length, buffer.begin() + 1);
    return ReadOutcome::Completed;
}

}  // namespace talvo::sim
