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

void SendSlotCode(DeviceLink& link, uint8_t code);

// The first slot (1..4) whose mark is unticked, looking from slot 1; 0 when
// all four are ticked.
int FirstFreeSlot(const std::array<bool, kImageSlots>& ticked);

constexpr bool IsImageSlot(int slot) { return slot >= 1 && slot <= kImageSlots; }

// Records the device's picture into `slot` (1..4): its first code, a wait of
// 1 tick, its second code, a wait of 4 ticks, its third code. The pacer
// counts the ticks in the capture window's clock (100 ms a tick). False when
// not all three codes went out: the slot is no slot (nothing is sent), or
// the pacer ended the sequence during a wait.
bool RecordSlot(DeviceLink& link, int slot, Pacer& pacer);

// Makes the device show `slot` (1..4); false, sending nothing, for any other.
bool ShowSlot(DeviceLink& link, int slot);

// Makes the device show its live picture again (code 0x80).
void ShowLivePicture(DeviceLink& link);

}  // namespace talvo
