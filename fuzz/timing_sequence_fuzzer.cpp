// Timing mode against a device whose every answer comes from the fuzz input:
// entering it and reading the block back, one bar write, a load of the image
// as it stands (a cancelled file dialog), leaving it.
//
// Input: byte 0: bit 0 ends the sequences when the device is lost (the
// terminal tool's way), bits 1 to 7 grant the stop request at that ask (0:
// never). Byte 1 picks the bar, bytes 2 and 3 its value (low byte first, any
// value up to 65535). The rest is the device's script (see
// TalvoModel::scriptAnswers).
//
// What must hold for any answer: no address sent to the timing block wraps
// past its byte, and none lies outside the block; every command carries the
// page of the timing-mode answer; the image holds what the reads gave and
// nothing past the block changes; every write carries the image's bytes and
// every closing report repeats the write before it; each command is
// answered once; the sequences end within their reports.

#include <algorithm>
#include <cstdint>

#include "fuzz/sequence_rig.h"
#include "timing/timing_commands.h"
#include "timing/timing_operations.h"
#include "timing/timing_parameters.h"

namespace {

using namespace talvo;
using fuzz::Check;

// Entering, ten reads, one write and its close, nineteen groups and the
// close, leaving.
constexpr int kMostReports = 1 + 10 + 2 + 19 + 1 + 1;

bool IsBlockCommand(uint8_t code) {
    return code == kTimingReadCommand || code == kTimingWriteCommand ||
           code == kTimingWriteEndCommand;
}

TimingImage StartingImage() {
    TimingImage image;
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(i * 13 + 7);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const auto on_lost = (data[0] & 1) ? OnDeviceLost::End : OnDeviceLost::GoOn;
    const int stop_at = data[0] >> 1;
    const TimingParameter& parameter = kTimingParameters[data[1] % kTimingParameters.size()];
    const int value = data[2] + 256 * data[3];
    fuzz::SequenceRig rig({data + 4, size - 4});
    const auto& log = rig.log.all();

    TimingState timing;
    timing.timing_image = StartingImage();
    const TimingImage before = timing.timing_image;
    sim::SimPacer pacer(rig.device.clock, kMainTick);
    int asks = 0;
    const StopRequest stop = [&] { return ++asks == stop_at; };

    const FrontEnd front_end{pacer, stop, on_lost};
    const TimingOutcome started = StartTimingMode(rig.link, timing, front_end);
    const TimingImage read_back = timing.timing_image;
    const TimingOutcome written = WriteTimingParameter(rig.link, timing, parameter, value, on_lost);
    const TimingOutcome loaded = LoadTimingData(rig.link, timing, std::nullopt, front_end);
    LeaveTimingMode(rig.link, on_lost);

    Check(log.size() >= 4 && !log[0].is_read && log[1].is_read);
    Check(log[0].command[0] == kTimingModeCommand && log[0].command[1] == 1);
    const uint8_t base = log[1].data[0];
    const uint8_t page = log[1].data[1];
    Check(timing.timing_base == base && timing.timing_page == page);
    if (!TimingBlockReachable(base))
        Check(started.detail == TimingDetail::BlockUnreachable &&
              written.detail == TimingDetail::BlockUnreachable &&
              loaded.detail == TimingDetail::BlockUnreachable);
    if (value > parameter.maximum())
        Check(written.detail == TimingDetail::ValueOutOfRange ||
              written.detail == TimingDetail::BlockUnreachable);

    // Every command is answered once, and nothing goes on for ever.
    Check(rig.log.writes() <= kMostReports);
    for (size_t i = 0; i < log.size(); ++i) Check(log[i].is_read == (i % 2 == 1));

    const CommandArray* last_write = nullptr;
    for (size_t i = 2; i < log.size(); i += 2) {
        const CommandArray& command = log[i].command;
        if (!IsBlockCommand(command[0])) continue;
        // Every address the block is sent lies inside it, without wrapping.
        Check(TimingBlockReachable(base));
        Check(command[2] >= base && command[2] - base <= kLastTimingAddressOffset);
        Check(command[1] == 0 && command[3] == page);
        const size_t offset = size_t(command[2] - base);
        if (command[0] == kTimingReadCommand) {
            Check(offset % 8 == 0);
            Check(std::equal(log[i + 1].data.begin(), log[i + 1].data.begin() + 8,
                             read_back.begin() + std::ptrdiff_t(offset)));
        } else {
            // The image was not changed after the writes: they carry it.
            Check(std::equal(command.begin() + 4, command.end(),
                             timing.timing_image.begin() + std::ptrdiff_t(offset)));
            if (command[0] == kTimingWriteEndCommand)
                Check(last_write &&
                      std::equal(command.begin() + 1, command.end(), last_write->begin() + 1));
            else
                last_write = &command;
        }
    }
    // Nothing past the block comes from the device.
    Check(std::equal(before.begin() + 80, before.end(), timing.timing_image.begin() + 80));
    return 0;
}
