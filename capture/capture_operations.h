#pragma once
// The capture window's device sequences without the window: the readiness
// check at opening and the line-by-line capture into frame_buffer. The
// capture window and the terminal tool both run them; each lends its own
// pacer, observer and stop request.

#include <QString>
#include <cstdint>
#include <functional>
#include <span>

#include "capture/capture_state.h"
#include "device/device_link.h"
#include "device/sequence.h"

namespace talvo {

enum class CaptureOutcome {
    Done,           // the readiness check found the device ready; every line arrived
    NotReady,       // the device runs another FPGA selection than capturing needs
    Stopped,        // the stop request ended the capture after a line
    SizeRejected,   // the picture-information answer carried no usable size
    DeviceSilent,   // three reads in a row waited out their full wait
    DeviceLost,     // writes or reads failed (only with DeviceLostPolicy::End)
    FrontEndGone,   // the pacer said the front end went away; capture_end still went out
    ProgramEnding,  // the whole program ends: nothing more went out
};

// What a device that vanished does to a sequence. The windows never noticed
// (reads that fail return zeros at once, and the capture runs on through its
// lines); the terminal tool ends the sequence and says so.
enum class DeviceLostPolicy { KeepGoing, End };

// What the sequence tells its front end. Every member may stay empty. None of
// them is called after the pacer said the front end is gone.
struct CaptureObserver {
    // The window's status text: readiness, picture size, rejection, silence.
    std::function<void(const QString& text)> status;
    // An accepted size is in the capture state; the picture is about to be
    // cleared and allocated (the window fits its picture box here).
    std::function<void(const CaptureState& state)> size_accepted;
    // Line y has arrived: frame_width x 3 bytes, blue, green, red.
    std::function<void(int y, std::span<const uint8_t> line)> line;
    // The capture is over and capture_end is about to go out (the window
    // gives its buttons back here).
    std::function<void()> before_capture_end;
    // Asked once the pacer says the front end is gone: true when the whole
    // program ends and has closed the device, so nothing more is sent. False
    // (or empty): only the front end went, and the device still hears
    // capture_end.
    std::function<bool()> program_ending;
};

// The readiness check: the live picture (0x17, 0x80), remote key 0x17, and
// the picture-information query, each answered; Done when the answer's FPGA
// selection is 2, else NotReady. Tells the observer's status the ready text
// or the FPGA message.
CaptureOutcome CheckCaptureReady(DeviceLink& link, const CaptureObserver& observer = {},
                                 DeviceLostPolicy lost = DeviceLostPolicy::KeepGoing);

// One capture: clears state.stop_requested, asks for the picture's size and,
// when it is accepted, fills state (sizes and a new frame_buffer) line by
// line. Between two lines it gives the pacer its pass, then asks `stop`.
// Every way out but ProgramEnding closes with capture_end (0x16, 0x00) and
// its answer. `stop` may be empty.
CaptureOutcome RunCapture(DeviceLink& link, CaptureState& state, Pacer& pacer,
                          const CaptureObserver& observer, const StopRequest& stop,
                          DeviceLostPolicy lost = DeviceLostPolicy::KeepGoing);

// Sends capture_end: command 0x16 with argument 0x00, and reads its answer.
void SendCaptureEnd(DeviceLink& link);

}  // namespace talvo
