#pragma once
// The capture window's device sequences without the window: the readiness
// check at opening and the line-by-line capture into frame_buffer. The
// capture window and the terminal tool both run them; each lends its own
// front end (pacer, stop request, device-lost setting) and observer.

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "capture/capture_protocol.h"
#include "capture/capture_state.h"
#include "device/device_link.h"
#include "device/sequence.h"

namespace talvo {

// What the device's answers made of a sequence that ran its course.
enum class CaptureCheck {
    Passed,
    NotReady,      // the device runs another FPGA selection than capturing needs
    SizeRejected,  // the picture-information answer carried no usable size
};

struct CaptureDetail {
    CaptureCheck check = CaptureCheck::Passed;
    // With Ending::FrontEndGone: the whole program ends and has closed the
    // device, so not even capture_end went out.
    bool program_ending = false;
    // The size the capture accepted; empty until one was.
    std::optional<PictureSize> size;
};

using CaptureOutcome = Outcome<CaptureDetail>;

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
// the picture-information query, each answered; Done, with NotReady in the
// detail unless the answer's FPGA selection is 2. Tells the observer's status
// the ready text or the FPGA message. It does not wait, so it takes only the
// device-lost setting.
CaptureOutcome CheckCaptureReady(DeviceLink& link, const CaptureObserver& observer = {},
                                 OnDeviceLost on_lost = OnDeviceLost::GoOn);

// One capture: clears state.stop_requested, asks for the picture's size and,
// when it is accepted, fills state (sizes and a new frame_buffer) line by
// line. Between two lines it gives the pacer its pass, then asks the stop
// request.
//
// The device is told the capture is over (capture_end, 0x16 0x00, and its
// answer) on every way out once the query went out: a stop, a refused size,
// a lost device, and also a front end that went away, since the device
// would otherwise go on holding its picture for a capture nobody reads.
// Only a program that is ending sends nothing more: it has closed the
// device already.
//
// A device that let three reads in a row run into their wait ends the
// capture as DeviceSilent under either device-lost setting: the windows
// have always given up then, as a picture takes up to 120 000 reads and the
// window would stay deaf to a stop for hours.
CaptureOutcome RunCapture(DeviceLink& link, CaptureState& state, const FrontEnd& front,
                          const CaptureObserver& observer = {});

}  // namespace talvo
