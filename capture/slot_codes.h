#pragma once
// The codes of command 0x17 that drive the device's four image slots.

#include <cstdint>

namespace talvo {

inline constexpr int kImageSlots = 4;
inline constexpr uint8_t kLivePictureCode = 0x80;

struct SlotCodes {
    uint8_t record_first;
    uint8_t record_second;
    uint8_t record_third;
    uint8_t show;
};

// slot counts from 1. The second recording code is not the show code for
// slots 2 to 4 (0xC5 against 0xC4 ...): the device wants it that way.
constexpr SlotCodes CodesOfSlot(int slot) {
    const int step = slot - 1;
    return {uint8_t(0xA0 + 5 * step), uint8_t(0xC0 + 5 * step), uint8_t(0x80 + 5 * step),
            uint8_t(0xC0 + 4 * step)};
}

// Ticks of capture_ticks to wait after the first and after the second code.
inline constexpr int kRecordFirstWait = 1;
inline constexpr int kRecordSecondWait = 4;

}  // namespace talvo
