#include "timing/timing_operations.h"

#include "timing/timing_commands.h"
#include "timing/timing_file.h"

namespace talvo {
namespace {

constexpr int kReadLength = 8;
constexpr int kGroupLength = 4;
constexpr int kLastLoadGroup = kLastTimingAddressOffset;

constexpr TimingOutcome kOk{};

TimingOutcome Ended(Ending ending) { return {ending, TimingDetail::Ok}; }
TimingOutcome Came(TimingDetail detail) { return {Ending::Done, detail}; }

// The pause after a read or a group, and the front end's say on going on.
std::optional<Ending> Pause(const FrontEnd& front_end) {
    if (!front_end.pacer.waitTicks(kTimingPauseTicks)) return Ending::FrontEndGone;
    if (front_end.stop && front_end.stop()) return Ending::Stopped;
    return std::nullopt;
}

}  // namespace

TimingOutcome StartTimingMode(DeviceLink& link, TimingState& timing, const FrontEnd& front_end) {
    if (link.heldExclusively()) return Ended(Ending::DeviceBusy);
    SetTimingMode(link.CommandBytes, true);
    link.exchange();
    if (auto trouble = EndingOnTrouble(link, front_end.on_lost)) return Ended(*trouble);
    // Without the mode's answer, base and page would read as 0, and every
    // later write would go to page 0: whatever the front end asked, stop.
    if (link.health().last_read != ReadOutcome::Completed)
        return Ended(link.health().last_read == ReadOutcome::Failed ? Ending::DeviceLost
                                                                    : Ending::DeviceSilent);
    timing.timing_base = link.ResponseBuffer[1];
    timing.timing_page = link.ResponseBuffer[2];
    if (!TimingBlockReachable(timing.timing_base)) return Came(TimingDetail::BlockUnreachable);
    for (int offset = 0; offset <= kLastTimingAddressOffset; offset += kReadLength) {
        SetTimingRead(link.CommandBytes, timing, offset);
        link.exchange();
        // What a silent device leaves is zeros, and those are the block as
        // the windows have always shown it.
        for (int i = 0; i < kReadLength; ++i)
            timing.timing_image[size_t(offset + i)] = link.ResponseBuffer[size_t(1 + i)];
        if (auto trouble = EndingOnTrouble(link, front_end.on_lost)) return Ended(*trouble);
        if (auto ended = Pause(front_end)) return Ended(*ended);
    }
    return kOk;
}

TimingOutcome WriteTimingParameter(DeviceLink& link, TimingState& timing,
                                   const TimingParameter& parameter, int value,
                                   OnDeviceLost on_lost) {
    if (!TimingBlockReachable(timing.timing_base)) return Came(TimingDetail::BlockUnreachable);
    if (value < 0 || value > parameter.maximum()) return Came(TimingDetail::ValueOutOfRange);
    // Checked before the image changes: a write that would be dropped must
    // not leave the image ahead of the device.
    if (link.heldExclusively()) return Ended(Ending::DeviceBusy);
    if (!StoreValue(timing.timing_image, parameter, value)) return Came(TimingDetail::Unchanged);
    SetTimingWrite(link.CommandBytes, timing, parameter.offset);
    link.exchange();
    if (auto trouble = EndingOnTrouble(link, on_lost)) return Ended(*trouble);
    SetTimingWriteEnd(link.CommandBytes, timing, parameter.offset);
    link.exchange();
    if (auto trouble = EndingOnTrouble(link, on_lost)) return Ended(*trouble);
    return kOk;
}

TimingOutcome LoadTimingData(DeviceLink& link, TimingState& timing,
                             const std::optional<QString>& file, const FrontEnd& front_end,
                             const TimingLoadObserver& observer) {
    if (!TimingBlockReachable(timing.timing_base)) return Came(TimingDetail::BlockUnreachable);
    if (link.heldExclusively()) return Ended(Ending::DeviceBusy);
    if (file && !LoadTimingFile(*file, timing.timing_image)) return Came(TimingDetail::FileError);

    for (int k = 0; k <= kLastLoadGroup; k += kGroupLength) {
        SetTimingWrite(link.CommandBytes, timing, k);
        link.exchange();
        if (auto trouble = EndingOnTrouble(link, front_end.on_lost)) return Ended(*trouble);
        if (auto ended = Pause(front_end)) return Ended(*ended);
    }
    Tell(observer.image_written);
    // The closing report carries the address and bytes of the last group.
    SetTimingWriteEnd(link.CommandBytes, timing, kLastLoadGroup);
    link.exchange();
    if (auto trouble = EndingOnTrouble(link, front_end.on_lost)) return Ended(*trouble);
    return kOk;
}

TimingOutcome SaveTimingData(const TimingState& timing, const QString& file) {
    return SaveTimingFile(file, timing.timing_image) ? kOk : Came(TimingDetail::FileError);
}

TimingOutcome LeaveTimingMode(DeviceLink& link, OnDeviceLost on_lost) {
    if (link.heldExclusively()) return Ended(Ending::DeviceBusy);
    SetTimingMode(link.CommandBytes, false);
    link.exchange();
    if (auto trouble = EndingOnTrouble(link, on_lost)) return Ended(*trouble);
    return kOk;
}

}  // namespace talvo
