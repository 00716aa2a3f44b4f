#pragma once
// The device sequences of timing mode, without any window: entering timing
// mode and reading the block back, writing one parameter, loading and saving
// a timing data file, leaving timing mode. The timing window and the
// terminal tool both run them; a front end lends its waits (Pacer), is told
// what it must show (observer) and may ask to stop early (StopRequest).

#include <QString>
#include <functional>
#include <optional>

#include "device/device_link.h"
#include "device/sequence.h"
#include "timing/timing_parameters.h"
#include "timing/timing_state.h"

namespace talvo {

enum class TimingOutcome {
    Done,
    // A parameter write whose bytes the image (and so the device) already
    // holds: nothing was sent.
    Unchanged,
    // timing_base above 183: an address of the block would not fit in its
    // byte. Nothing was read or written.
    BlockUnreachable,
    // Another sequence (a ROM write) holds the link: nothing was sent.
    DeviceBusy,
    // A value outside the parameter's range: nothing was sent.
    ValueOutOfRange,
    // The file could not be read whole, or not written: nothing was sent.
    FileError,
    // The device vanished or fell silent (DeviceLink::deviceLost()); only
    // reported when the front end asked for it with OnDeviceLost::End.
    DeviceLost,
    // The front end's stop request was granted between two reports.
    Stopped,
    // The pacer said the front end is gone: the sequence ended at once.
    FrontEndGone,
};

// A short English phrase for messages of the terminal tool.
const char* TimingOutcomeText(TimingOutcome outcome);

// Ticks of the main window's clock after each read of the block and after
// each group of a load.
inline constexpr int kTimingPauseTicks = 3;

// Enters timing mode, takes timing_base and timing_page from the answer,
// then reads the ten eight-byte pieces of the block into the image, each
// read followed by a pause. Done means the block is in the image and may be
// written; with BlockUnreachable the base and page are set, nothing more.
TimingOutcome StartTimingMode(DeviceLink& link, TimingState& timing, Pacer& pacer,
                              const StopRequest& stop = {},
                              OnDeviceLost on_lost = OnDeviceLost::GoOn);

// Stores `value` into the parameter's bytes of the image and, when a byte
// changed, writes the parameter's group and the closing report.
TimingOutcome WriteTimingParameter(DeviceLink& link, TimingState& timing,
                                   const TimingParameter& parameter, int value,
                                   OnDeviceLost on_lost = OnDeviceLost::GoOn);

struct TimingLoadObserver {
    // After the nineteen groups, before the closing report: the image now
    // holds what the device holds, the front end shows it (the window sets
    // its bars).
    std::function<void()> image_written;
};

// Reads the first 256 bytes of `file` into the image (no file: the image
// as it stands, as after a cancelled dialog), writes the block's nineteen
// groups with a pause after each, lets the front end show the image and
// closes the writes with one timing_write_end. A file that cannot be read
// whole changes nothing and sends nothing.
TimingOutcome LoadTimingData(DeviceLink& link, TimingState& timing,
                             const std::optional<QString>& file, Pacer& pacer,
                             const TimingLoadObserver& observer = {}, const StopRequest& stop = {},
                             OnDeviceLost on_lost = OnDeviceLost::GoOn);

// Writes the 257-byte timing data file. Sends nothing.
TimingOutcome SaveTimingData(const TimingState& timing, const QString& file);

// Leaves timing mode: one report and the answer read after it.
TimingOutcome LeaveTimingMode(DeviceLink& link);

}  // namespace talvo
