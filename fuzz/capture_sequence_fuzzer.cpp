// The readiness check and a capture against a device whose every answer
// comes from the fuzz input: any sizes, any FPGA selection, line reports of
// any length, lost and unasked-for reports, silence.
//
// Input: byte 0 ends the capture early: its low seven bits at that line (0:
// never), by the stop request, or with its top bit set by the front end
// going away. Byte 1: bit 0 ends the sequences when the device is lost (the
// terminal tool's way), bit 1 says the whole program is ending. The rest is
// the device's script (see TalvoModel::scriptAnswers), with one change: in
// the reports made before the first line request, the height reads below
// 128 (see BoundedScript).
//
// What must hold for any answer: the size check follows its rule for every
// pair the script carried, unbounded; the picture buffer and its sizes agree; every line holds
// exactly what the device sent for it, colours turned round and the tail past the picture's width
// black; a refused size leaves the previous picture alone; the capture gives up on the third read
// in a row that waited out its wait; and it ends within the reports its size allows.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "capture/capture_operations.h"
#include "capture/capture_protocol.h"
#include "fuzz/sequence_rig.h"
#include "remote/key_table.h"

namespace {

using namespace talvo;
using fuzz::Check;

constexpr int kSilentReadsToGiveUp = 3;

// The picture left by an earlier capture: a refused size must not touch it.
CaptureState EarlierPicture() {
    CaptureState state;
    state.source_width = 65;
    state.transfer_width = 128;
    state.frame_width = 68;
    state.frame_height = 101;
    state.frame_buffer.assign(68 * 101 * 3, 0x5A);
    return state;
}

bool SizeAccepted(unsigned width, unsigned height) {
    const unsigned transfer = (width + 63) / 64 * 64;
    return transfer > 100 && transfer < 2048 && height > 100 && height < 1300;
}

void CheckSizeRule(unsigned width, unsigned height) {
    const std::optional<PictureSize> size = CheckPictureSize(uint16_t(width), uint16_t(height));
    Check(size.has_value() == SizeAccepted(width, height));
    if (!size) return;
    const unsigned transfer = (width + 63) / 64 * 64;
    Check(size->source_width == width && size->transfer_width == int(transfer) &&
          size->frame_width == int((width + 3) / 4 * 4) && size->frame_height == int(height) &&
          size->reportsPerLine() == int(3 * transfer / 64));
}

// The fuzz input as the device's script, with the picture's height bounded
// to 127 lines: in every report made before the first line request (the
// readiness answers and the picture-information answer the size is read
// from) data byte 3, the height's high byte, reads as 0, and the top bit of
// data byte 2 as clear. A tall picture costs a run mostly in allocating and
// checking its buffer, while its lines past 127 test nothing the first ones
// did not (the stop request reaches line 127 at most); the pairs those
// reports carried are kept unbounded, for the size rule alone.
class BoundedScript {
  public:
    BoundedScript(std::span<const uint8_t> script, const sim::ExchangeLog& log)
        : script_(script), log_(log) {}

    std::optional<uint8_t> next() {
        if (at_ >= script_.size()) return std::nullopt;
        uint8_t byte = script_[at_++];
        if (data_left_ == 0) {  // a report's header (TalvoModel::scriptAnswers)
            bounding_ = bounding_ && !LineRequested();
            const size_t length = byte & 0x7F;
            data_left_ = length <= kReportDataBytes ? length : 0;  // longer: lost, no data
            offset_ = 0;
            if (bounding_ && data_left_ > 0) pairs_.push_back({});
            return byte;
        }
        --data_left_;
        const size_t offset = offset_++;
        if (bounding_ && offset < 4) {
            pairs_.back()[offset] = byte;
            if (offset == 2) byte &= 0x7F;
            if (offset == 3) byte = 0;
        }
        return byte;
    }

    // The width and height bytes of each report that was bounded, as sent.
    const std::vector<std::array<uint8_t, 4>>& pairs() const { return pairs_; }

  private:
    // The report is answered to a line request: the size has been read.
    bool LineRequested() const {
        const auto& all = log_.all();
        return !all.empty() && !all.back().is_read && all.back().command[0] == kLineRequestCommand;
    }

    std::span<const uint8_t> script_;
    const sim::ExchangeLog& log_;
    size_t at_ = 0;
    size_t data_left_ = 0;
    size_t offset_ = 0;
    bool bounding_ = true;
    std::vector<std::array<uint8_t, 4>> pairs_;
};

void CheckReadiness(const std::vector<sim::Exchange>& log, const CaptureOutcome& outcome,
                    OnDeviceLost on_lost) {
    // Live picture, remote key, picture information: each answered once.
    Check(log.size() == 6);
    Check(!log[0].is_read && log[0].command[0] == kImageSlotCommand && log[0].command[1] == 0x80);
    Check(!log[2].is_read && log[2].command[0] == kRemoteKeyCommand &&
          log[2].command[1] == kCaptureReadyKey);
    Check(!log[4].is_read && log[4].command[0] == kPictureInfoCommand);
    // The scripted device never fails a report, it only falls silent.
    if (on_lost == OnDeviceLost::End && fuzz::SilentReadsBefore(log, 6) >= 3) {
        Check(outcome.ending == Ending::DeviceSilent);
        return;
    }
    const bool ready = log[5].data[4] == kCaptureFpgaSelection;
    Check(outcome.done() &&
          outcome.detail.check == (ready ? CaptureCheck::Passed : CaptureCheck::NotReady));
}

// The picture a capture must leave, line by line from the traffic alone:
// each requested line as its reports carried it, every other line black.
void CheckPicture(const std::vector<sim::Exchange>& log, size_t first, unsigned width,
                  const CaptureState& state) {
    const size_t line_bytes = size_t(state.frame_width) * 3;
    std::vector<uint8_t> expected(line_bytes);
    std::vector<uint8_t> stream;
    size_t y = 0;
    const auto check_line = [&] {
        Check(y < size_t(state.frame_height));
        std::fill(expected.begin(), expected.end(), 0);
        for (size_t x = 0; x < size_t(state.frame_width) && x < width; ++x)
            for (size_t colour = 0; colour < 3; ++colour)
                if (x * 3 + colour < stream.size())
                    expected[x * 3 + 2 - colour] = stream[x * 3 + colour];
        Check(std::memcmp(expected.data(), state.frame_buffer.data() + y * line_bytes,
                          line_bytes) == 0);
        ++y;
    };
    bool in_line = false;
    for (size_t i = first; i < log.size(); ++i) {
        if (log[i].is_read) {
            if (in_line) stream.insert(stream.end(), log[i].data.begin(), log[i].data.end());
            continue;
        }
        if (in_line) check_line();
        in_line = log[i].command[0] == kLineRequestCommand;
        stream.clear();
    }
    if (in_line) check_line();
    // Compared by memcmp, not byte by byte: it runs without the coverage
    // hooks, and the lines never asked for are most of a large picture.
    const std::vector<uint8_t> black(line_bytes, 0);
    for (; y < size_t(state.frame_height); ++y)
        Check(std::memcmp(black.data(), state.frame_buffer.data() + y * line_bytes, line_bytes) ==
              0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int end_line = data[0] & 0x7F;
    const bool front_end_goes = (data[0] & 0x80) != 0;
    const auto on_lost = (data[1] & 1) ? OnDeviceLost::End : OnDeviceLost::GoOn;
    const bool program_ending = (data[1] & 2) != 0;
    fuzz::SequenceRig rig({data + 2, size - 2});
    BoundedScript script({data + 2, size - 2}, rig.log);
    rig.device.scriptAnswers([&script] { return script.next(); });
    // The script stands in for every answer, the lines' too: a model whose
    // picture has no lines sends black ones, so it does not draw its test
    // pattern, a call per pixel, for lines that are never read.
    rig.device.capture.height = 0;
    const auto& log = rig.log.all();

    CheckReadiness(log, CheckCaptureReady(rig.link, {}, on_lost), on_lost);
    const size_t first = log.size();

    CaptureState state = EarlierPicture();
    const CaptureState earlier = state;
    sim::SimPacer pacer(rig.device.clock, kCaptureTick);
    pacer.leaveAt(sim::SimPacer::Turn::Pass, front_end_goes ? end_line : 0);
    int lines_told = 0;
    CaptureObserver observer;
    observer.line = [&](int y, std::span<const uint8_t> line) {
        Check(y == lines_told++);
        Check(line.size() == size_t(state.frame_width) * 3);
        Check(state.frame_buffer.size() == size_t(state.frame_width) * state.frame_height * 3);
    };
    observer.program_ending = [&] { return program_ending; };
    const StopRequest stop = [&] { return !front_end_goes && lines_told == end_line; };
    const CaptureOutcome outcome = RunCapture(rig.link, state, {pacer, stop, on_lost}, observer);

    // The picture and its sizes agree, whatever happened.
    Check(state.frame_width >= 0 && state.frame_height >= 0);
    Check(state.frame_buffer.size() == size_t(state.frame_width) * size_t(state.frame_height) * 3);

    Check(log.size() >= first + 2 && !log[first].is_read && log[first + 1].is_read);
    Check(log[first].command[0] == kPictureInfoCommand);
    for (const auto& pair : script.pairs())
        CheckSizeRule(pair[0] + 256u * pair[1], pair[2] + 256u * pair[3]);
    const auto& answer = log[first + 1].data;
    const unsigned width = answer[0] + 256u * answer[1];
    const unsigned height = answer[2] + 256u * answer[3];
    Check(height < 128);
    const bool lost_at_size = on_lost == OnDeviceLost::End &&
                              fuzz::SilentReadsBefore(log, first + 2) >= kSilentReadsToGiveUp;

    // Every way out closes with capture_end and its answer, except a program
    // that is ending: it sends nothing more.
    const size_t n = log.size();
    const bool closed =
        log[n - 1].is_read && !log[n - 2].is_read && log[n - 2].command[0] == kCaptureEndCommand;
    Check(closed == !(outcome.ending == Ending::FrontEndGone && outcome.detail.program_ending));
    Check(outcome.detail.program_ending ==
          (outcome.ending == Ending::FrontEndGone && program_ending));

    if (lost_at_size || !SizeAccepted(width, height)) {
        if (lost_at_size)
            Check(outcome.ending == Ending::DeviceSilent);
        else
            Check(outcome.done() && outcome.detail.check == CaptureCheck::SizeRejected);
        Check(!outcome.detail.size);
        Check(state.frame_width == earlier.frame_width &&
              state.frame_height == earlier.frame_height &&
              state.frame_buffer == earlier.frame_buffer);
        Check(log.size() == first + 4);
        return 0;
    }
    Check(outcome.detail.check == CaptureCheck::Passed && outcome.detail.size);
    const unsigned transfer = (width + 63) / 64 * 64;
    const int reports = int(3 * transfer / 64);
    Check(state.source_width == width && state.transfer_width == int(transfer));
    Check(state.frame_width == int((width + 3) / 4 * 4) && state.frame_height == int(height));

    // Bounded: one request per line at most, and that line's reports at most.
    // The third read in a row that waited out its wait ends the capture
    // after its line.
    int requests = 0;
    int reads = 0;
    int silent_run = 0;
    bool gave_up = false;
    for (size_t i = first + 2; i < log.size(); ++i) {
        if (log[i].is_read) {
            ++reads;
            silent_run = log[i].outcome == ReadOutcome::TimedOut ? silent_run + 1 : 0;
            Check(silent_run <= kSilentReadsToGiveUp);
            gave_up = gave_up || silent_run == kSilentReadsToGiveUp;
        } else if (log[i].command[0] == kLineRequestCommand) {
            Check(!gave_up);
            ++requests;
            Check(log[i].command[1] == reports);
        } else {
            break;  // the closing capture_end
        }
    }
    Check(requests <= int(height) && requests == lines_told);
    Check(reads <= requests * reports);
    if (outcome.ending == Ending::Done) Check(requests == int(height) && !gave_up);
    if (outcome.ending == Ending::DeviceSilent) Check(gave_up);

    CheckPicture(log, first + 2, width, state);
    return 0;
}
