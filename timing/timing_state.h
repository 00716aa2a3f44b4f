#pragma once
// The timing image and the addresses it was read from: program-wide, they
// outlive the timing window.

#include <array>
#include <cstdint>

namespace talvo {

struct TimingState {
    std::array<uint8_t, 257> timing_image{};
    uint8_t timing_base = 0;
    uint8_t timing_page = 0;
};

}  // namespace talvo
