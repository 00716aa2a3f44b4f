#pragma once
// The timing image and the addresses it was read from: program-wide, they
// outlive the timing window.

#include <array>
#include <cstdint>

namespace talvo {

// Offsets 0-79 mirror the device's timing block; 80-256 only ever come from
// a timing data file.
using TimingImage = std::array<uint8_t, 257>;

struct TimingState {
    TimingImage timing_image{};
    uint8_t timing_base = 0;
    uint8_t timing_page = 0;
};

}  // namespace talvo
