#pragma once
// The device sequences of timing mode, without any window: entering timing
// mode and reading the block back, writing one parameter, loading and saving
// a timing data file, leaving timing mode. The timing window and the
// terminal tool both run them; a front end lends its waits and its stop
// request (FrontEnd) and is told what it must show (observer).
//
// Each refuses with Ending::DeviceBusy, sending nothing, while another
// sequence (a ROM write) holds the link: its reports would be dropped and
// its answers read as zeros. A write refused so leaves the image as it was,
// so that image and device keep agreeing.
//
// Only the read-back and the load wait, and so only they can be stopped or
// lose their front end; both end at the pause where they notice and send
// nothing more, not even a closing report: what the device holds is then
// whatever groups went out. Leaving timing mode is the front end's own
// closing step; the window sends it when it closes, also after a stopped
// sequence, but not once the program is ending.

#include <QString>
#include <functional>
#include <optional>

#include "device/device_link.h"
#include "device/sequence.h"
#include "timing/timing_parameters.h"
#include "timing/timing_state.h"

namespace talvo {

// What a timing sequence came to, beside its ending.
enum class TimingDetail {
    Ok,
    // A parameter write whose bytes the image (and so the device) already
    // holds: nothing was sent.
    Unchanged,
    // timing_base above 183: an address of the block would not fit in its
    // byte. Nothing was read or written.
    BlockUnreachable,
    // A value outside the parameter's range: nothing was sent.
    ValueOutOfRange,
    // The file could not be read whole, or not written: nothing was sent.
    FileError,
};

using TimingOutcome = Outcome<TimingDetail>;

// Ticks of the main window's clock after each read of the block and after
// each group of a load.
inline constexpr int kTimingPauseTicks = 3;

// Enters timing mode, takes timing_base and timing_page from the answer,
// then reads the ten eight-byte pieces of the block into the image, each
// read followed by a pause. Done with Ok means the block is in the image and
// may be written; with BlockUnreachable the base and page are set, nothing
// more.
TimingOutcome StartTimingMode(DeviceLink& link, TimingState& timing, const FrontEnd& front_end);

// Stores `value` into the parameter's bytes of the image and, when a byte
// changed, writes the parameter's group and the closing report. Two reports
// without a pause: nothing to stop.
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
                             const std::optional<QString>& file, const FrontEnd& front_end,
                             const TimingLoadObserver& observer = {});

// Writes the 257-byte timing data file. Sends nothing, so never busy.
TimingOutcome SaveTimingData(const TimingState& timing, const QString& file);

// Leaves timing mode: one report and the answer read after it.
TimingOutcome LeaveTimingMode(DeviceLink& link, OnDeviceLost on_lost = OnDeviceLost::GoOn);

}  // namespace talvo
