#include "timing/timing_parameters.h"

#include <algorithm>

namespace talvo {

#define TALVO_CHECK_TIMING_PARAMETER(name) \
    static_assert(TimingParameterIndex(#name) >= 0, "every control has a table row");
TALVO_TIMING_PARAMETERS(TALVO_CHECK_TIMING_PARAMETER)
#undef TALVO_CHECK_TIMING_PARAMETER

int ImageValue(const TimingImage& image, const TimingParameter& parameter) {
    const size_t k = size_t(parameter.offset);
    if (!parameter.twelve_bit) return image[k];
    return image[k + 2] * 256 + image[k];
}

int BarValue(const TimingImage& image, const TimingParameter& parameter) {
    return std::min(ImageValue(image, parameter), parameter.maximum());
}

bool StandsForValueAboveRange(const TimingImage& image, const TimingParameter& parameter,
                              int value) {
    return value == parameter.maximum() && ImageValue(image, parameter) > parameter.maximum();
}

bool StoreValue(TimingImage& image, const TimingParameter& parameter, int value) {
    const size_t k = size_t(parameter.offset);
    const uint8_t low = uint8_t(value % 256);
    const uint8_t high = uint8_t(value / 256 % 256);
    const bool differs = low != image[k] || (parameter.twelve_bit && high != image[k + 2]);
    if (!differs) return false;
    image[k] = low;
    if (parameter.twelve_bit) image[k + 2] = high;
    return true;
}

}  // namespace talvo
