#include "device/replay_platform.h"

#include <algorithm>
#include <thread>

#include "device/report_descriptor.h"

namespace talvo {

struct ReplayPlatform::State {
    Recording recording;
    bool keep_delays = true;
    size_t next = 0;
    std::optional<Departure> departure;

    const RecordedReport* upcoming() const {
        return next < recording.reports.size() ? &recording.reports[next] : nullptr;
    }
    void depart(std::string sent_kind, std::string sent) {
        if (departure) return;
        const RecordedReport* recorded = upcoming();
        departure = Departure{next, recorded ? (recorded->out ? "out" : "in") : "end",
                              recorded ? HexString(recorded->bytes) : std::string(),
                              std::move(sent_kind), std::move(sent)};
    }
};

namespace {

class ReplayConnection : public HidConnection {
  public:
    explicit ReplayConnection(std::shared_ptr<ReplayPlatform::State> state)
        : state_(std::move(state)) {}

    std::optional<HidAttributes> attributes() override {
        return state_->recording.header.attributes;
    }
    std::optional<HidCaps> capabilities() override {
        const RecordingHeader& header = state_->recording.header;
        if (header.descriptor.empty()) return header.caps;
        const auto parsed = ParseReportDescriptor(header.descriptor);
        if (!parsed) return std::nullopt;
        return LongestReportLengths(*parsed);
    }
    std::optional<std::vector<uint8_t>> reportDescriptor() override {
        return state_->recording.header.descriptor;
    }

    bool writeReport(std::span<const uint8_t> report) override {
        State& state = *state_;
        const RecordedReport* recorded = state.upcoming();
        if (state.departure || !recorded || !recorded->out ||
            !std::ranges::equal(recorded->bytes, report)) {
            state.depart("out", HexString(report));
            return false;
        }
        ++state.next;
        last_write_error_ = recorded->failed ? recorded->write_error : 0;
        return !recorded->failed;
    }
    // A failed write without an error number was taken for an unplug when it
    // was recorded, and is again.
    WriteFailure lastWriteFailure() const override {
        return last_write_error_ ? WriteFailureOf(last_write_error_) : WriteFailure::Gone;
    }
    int lastWriteError() const override { return last_write_error_; }

    ReadOutcome readReport(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
        State& state = *state_;
        const RecordedReport* recorded = state.upcoming();
        if (state.departure || !recorded || recorded->out) {
            state.depart("read", {});
            return ReadOutcome::Failed;
        }
        ++state.next;
        if (state.keep_delays) {
            const std::chrono::duration<double, std::milli> waited(
                std::clamp(recorded->waited_ms, 0.0, double(timeout.count())));
            std::this_thread::sleep_for(waited);
        }
        if (recorded->failed) return ReadOutcome::Failed;
        if (recorded->timed_out) return ReadOutcome::TimedOut;
        std::copy_n(recorded->bytes.begin(), std::min(recorded->bytes.size(), buffer.size()),
                    buffer.begin());
        return ReadOutcome::Completed;
    }

  private:
    using State = ReplayPlatform::State;
    std::shared_ptr<State> state_;
    int last_write_error_ = 0;
};

}  // namespace

ReplayPlatform::ReplayPlatform(Recording recording, bool keep_delays)
    : state_(std::make_shared<State>()) {
    state_->recording = std::move(recording);
    state_->keep_delays = keep_delays;
}

ReplayPlatform::~ReplayPlatform() = default;

std::vector<std::string> ReplayPlatform::enumerate() { return {state_->recording.header.node}; }

std::vector<HidInterfaceInfo> ReplayPlatform::describe() {
    const RecordingHeader& header = state_->recording.header;
    return {{header.node, header.attributes, header.port, {}}};
}

std::unique_ptr<HidConnection> ReplayPlatform::open(const std::string& path) {
    if (path != state_->recording.header.node) return nullptr;
    return std::make_unique<ReplayConnection>(state_);
}

OpenRefusal ReplayPlatform::probeOpen(const std::string& path) {
    return path == state_->recording.header.node ? OpenRefusal::None : OpenRefusal::Gone;
}

const std::optional<Departure>& ReplayPlatform::departure() const { return state_->departure; }

void ReplayPlatform::finish() {
    if (state_->upcoming()) state_->depart("end", {});
}

std::optional<HidCaps> ReplayPlatform::lengths() const {
    const RecordingHeader& header = state_->recording.header;
    const auto caps = ReplayConnection(state_).capabilities();
    if (!caps || caps->InputReportByteLength != header.caps.InputReportByteLength ||
        caps->OutputReportByteLength != header.caps.OutputReportByteLength)
        return std::nullopt;
    return caps;
}

}  // namespace talvo
