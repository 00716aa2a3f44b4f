#pragma once
// The device's four image slots without the window: "REC" into a slot, show
// a slot, back to the live picture. Each code is command 0x17 with the code as
// its argument, followed by one read whose answer nobody looks at.

#include <array>
#include <cstdint>

#include "capture/slot_codes.h"
#include "device/device_link.h"
#include "device/sequence.h"

namespace talvo {

// Beside the ending: whether the slot asked for is one at all.
enum class SlotCheck {
    Passed,
    NoSuchSlot,  // not 1..4: nothing was sent
};

// The first slot (1..4) whose mark is unticked, looking from slot 1; 0 when
// all four are ticked.
int FirstFreeSlot(const std::array<bool, kImageSlots>& ticked);

constexpr bool IsImageSlot(int slot) { return slot >= 1 && slot <= kImageSlots; }

// Records the device's picture into `slot` (1..4): its first code, a wait of
// 1 tick, its second code, a wait of 4 ticks, its third code. The pacer
// counts the ticks in the capture window's clock (100 ms a tick).
//
// Once the first code went out, only the front end going away ends the
// recording early (FrontEndGone, after the wait in hand): the device is then
// in the middle of storing a picture, and cut short it keeps a slot that is
// half written. So the stop request is never asked, and a device that is
// lost or silent still gets the remaining codes; the ending says so
// afterwards where the front end asked to end on trouble.
Outcome<SlotCheck> RecordSlot(DeviceLink& link, int slot, const FrontEnd& front);

// Makes the device show `slot` (1..4).
Outcome<SlotCheck> ShowSlot(DeviceLink& link, int slot, OnDeviceLost on_lost = OnDeviceLost::GoOn);

// Makes the device show its live picture again (code 0x80).
Outcome<> ShowLivePicture(DeviceLink& link, OnDeviceLost on_lost = OnDeviceLost::GoOn);

}  // namespace talvo
