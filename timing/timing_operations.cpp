#include "timing/timing_operations.h"

#include "timing/timing_commands.h"
#include "timing/timing_file.h"

namespace talvo {
namespace {

constexpr int kReadLength = 8;
constexpr int kGroupLength = 4;
constexpr int kLastLoadGroup = kLastTimingAddressOffset;

// One command from CommandBytes and the one answer the device gives to every
// timing command. True when the sequence may go on.
bool Exchange(DeviceLink& link, OnDeviceLost on_lost) {
    link.SendCommand();
    link.ReadResponse();
    return on_lost == OnDeviceLost::GoOn || !link.deviceLost();
}

// The pause after a read or a group, and the front end's say on going on.
std::optional<TimingOutcome> Pause(Pacer& pacer, const StopRequest& stop) {
    if (!pacer.waitTicks(kTimingPauseTicks)) return TimingOutcome::FrontEndGone;
    if (stop && stop()) return TimingOutcome::Stopped;
    return std::nullopt;
}

}  // namespace

const char* TimingOutcomeText(TimingOutcome outcome) {
    switch (outcome) {
        case TimingOutcome::Done:
            return "done";
        case TimingOutcome::Unchanged:
            return "unchanged, nothing sent";
        case TimingOutcome::BlockUnreachable:
            return "the device reports a timing base above 183; its timing block cannot be "
                   "addressed, nothing was read or written";
        case TimingOutcome::DeviceBusy:
            return "another sequence holds the device";
        case TimingOutcome::ValueOutOfRange:
            return "value outside the parameter's range";
        case TimingOutcome::FileError:
            return "the file could not be read or written";
        case TimingOutcome::DeviceLost:
            return "the device vanished or stopped answering";
        case TimingOutcome::Stopped:
            return "stopped";
        case TimingOutcome::FrontEndGone:
            return "ended";
    }
    return "unknown";
}

TimingOutcome StartTimingMode(DeviceLink& link, TimingState& timing, Pacer& pacer,
                              const StopRequest& stop, OnDeviceLost on_lost) {
    // While another sequence holds the device, every report would be dropped
    // and every answer read as zeros.
    if (link.heldExclusively()) return TimingOutcome::DeviceBusy;
    SetTimingMode(link.CommandBytes, true);
    const bool answered = Exchange(link, on_lost);
    if (!answered) return TimingOutcome::DeviceLost;
    timing.timing_base = link.ResponseBuffer[1];
    timing.timing_page = link.ResponseBuffer[2];
    if (!TimingBlockReachable(timing.timing_base)) return TimingOutcome::BlockUnreachable;
    for (int offset = 0; offset <= kLastTimingAddressOffset; offset += kReadLength) {
        SetTimingRead(link.CommandBytes, timing, offset);
        const bool read = Exchange(link, on_lost);
        // What a silent device leaves is zeros, and those are the block as
        // the windows have always shown it.
        for (int i = 0; i < kReadLength; ++i)
            timing.timing_image[size_t(offset + i)] = link.ResponseBuffer[size_t(1 + i)];
        if (!read) return TimingOutcome::DeviceLost;
        if (auto ended = Pause(pacer, stop)) return *ended;
    }
    return TimingOutcome::Done;
}

TimingOutcome WriteTimingParameter(DeviceLink& link, TimingState& timing,
                                   const TimingParameter& parameter, int value,
                                   OnDeviceLost on_lost) {
    if (!TimingBlockReachable(timing.timing_base)) return TimingOutcome::BlockUnreachable;
    if (value < 0 || value > parameter.maximum()) return TimingOutcome::ValueOutOfRange;
    // Checked before the image changes: a write that would be dropped must
    // not leave the image ahead of the device.
    if (link.heldExclusively()) return TimingOutcome::DeviceBusy;
    if (!StoreValue(timing.timing_image, parameter, value)) return TimingOutcome::Unchanged;
    SetTimingWrite(link.CommandBytes, timing, parameter.offset);
    if (!Exchange(link, on_lost)) return TimingOutcome::DeviceLost;
    SetTimingWriteEnd(link.CommandBytes, timing, parameter.offset);
    if (!Exchange(link, on_lost)) return TimingOutcome::DeviceLost;
    return TimingOutcome::Done;
}

TimingOutcome LoadTimingData(DeviceLink& link, TimingState& timing,
                             const std::optional<QString>& file, Pacer& pacer,
                             const TimingLoadObserver& observer, const StopRequest& stop,
                             OnDeviceLost on_lost) {
    if (!TimingBlockReachable(timing.timing_base)) return TimingOutcome::BlockUnreachable;
    if (link.heldExclusively()) return TimingOutcome::DeviceBusy;
    if (file && !LoadTimingFile(*file, timing.timing_image)) return TimingOutcome::FileError;

    for (int k = 0; k <= kLastLoadGroup; k += kGroupLength) {
        SetTimingWrite(link.CommandBytes, timing, k);
        if (!Exchange(link, on_lost)) return TimingOutcome::DeviceLost;
        if (auto ended = Pause(pacer, stop)) return *ended;
    }
    if (observer.image_written) observer.image_written();
    // The closing report carries the address and bytes of the last group.
    SetTimingWriteEnd(link.CommandBytes, timing, kLastLoadGroup);
    if (!Exchange(link, on_lost)) return TimingOutcome::DeviceLost;
    return TimingOutcome::Done;
}

TimingOutcome SaveTimingData(const TimingState& timing, const QString& file) {
    return SaveTimingFile(file, timing.timing_image) ? TimingOutcome::Done
                                                     : TimingOutcome::FileError;
}

TimingOutcome LeaveTimingMode(DeviceLink& link) {
    SetTimingMode(link.CommandBytes, false);
    link.SendCommand();
    link.ReadResponse();
    return link.deviceLost() ? TimingOutcome::DeviceLost : TimingOutcome::Done;
}

}  // namespace talvo
