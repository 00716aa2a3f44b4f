#pragma once
// The command reports of timing mode. Each function sets only the elements
// of the command bytes its command uses (element 0 travels in report byte 1);
// the others keep what the previous command left there.

#include <cstdint>

#include "device/device_link.h"
#include "timing/timing_state.h"

namespace talvo {

inline constexpr uint8_t kTimingModeCommand = 0x0F;
inline constexpr uint8_t kTimingReadCommand = 0x10;
inline constexpr uint8_t kTimingWriteCommand = 0x11;
inline constexpr uint8_t kTimingWriteEndCommand = 0x12;

// The highest block offset any command addresses, and so the highest base
// whose addresses all fit in the one address byte.
inline constexpr int kLastTimingAddressOffset = 72;
inline constexpr int kHighestTimingBase = 255 - kLastTimingAddressOffset;

// A base above kHighestTimingBase would wrap the address byte onto
// registers that are not part of the block.
constexpr bool TimingBlockReachable(uint8_t timing_base) {
    return timing_base <= kHighestTimingBase;
}

void SetTimingMode(CommandArray& bytes, bool enter);
void SetTimingRead(CommandArray& bytes, const TimingState& timing, int offset);
// The group of four image bytes from offset k.
void SetTimingWrite(CommandArray& bytes, const TimingState& timing, int k);
// Closes the writes: the bytes of the write of group k, with byte 1 = 0x12.
void SetTimingWriteEnd(CommandArray& bytes, const TimingState& timing, int k);

}  // namespace talvo
