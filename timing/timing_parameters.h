#pragma once
// The fourteen timing parameters: where each sits in the timing block and
// where its row sits in the timing window.

#include <array>
#include <string_view>

#include "timing/timing_state.h"

namespace talvo {

// Every parameter's control name, in the order the bars are set from the image.
#define TALVO_TIMING_PARAMETERS(X)                                                          \
    X(h2pos)                                                                                \
    X(v2pos)                                                                                \
    X(h2size) X(v2size) X(clamp_start) X(clamp_width) X(hst) X(vst) X(hsw) X(vsw) X(ph1pos) \
        X(ph1size) X(pv1pos) X(pv1size)

enum class TimingFrame { InputTiming, InputClamp, OutputSync, OutputSignal };

struct TimingParameter {
    std::string_view name;     // scroll bar; its text box adds "_txt"
    std::string_view caption;  // label
    int offset;                // block offset of the low byte
    bool twelve_bit;           // the high byte sits two bytes further on
    TimingFrame frame;
    int row;  // row within the frame, from the top

    int maximum() const { return twelve_bit ? 4095 : 255; }
};

inline constexpr std::array<TimingParameter, 14> kTimingParameters{{
    {"h2pos", "h2pos", 2, true, TimingFrame::InputTiming, 0},
    {"v2pos", "v2pos", 6, true, TimingFrame::InputTiming, 1},
    {"h2size", "h2size", 10, true, TimingFrame::InputTiming, 2},
    {"v2size", "v2size", 14, true, TimingFrame::InputTiming, 3},
    {"clamp_start", "clamp_start", 18, false, TimingFrame::InputClamp, 0},
    {"clamp_width", "clamp width", 20, false, TimingFrame::InputClamp, 1},
    {"hst", "hst", 40, true, TimingFrame::OutputSync, 0},
    {"vst", "vst", 44, true, TimingFrame::OutputSync, 1},
    {"hsw", "hsw", 48, false, TimingFrame::OutputSync, 2},
    {"vsw", "vsw", 50, false, TimingFrame::OutputSync, 3},
    {"ph1pos", "ph1pos", 54, true, TimingFrame::OutputSignal, 0},
    {"ph1size", "ph1size", 58, true, TimingFrame::OutputSignal, 2},
    {"pv1pos", "pv1pos", 62, true, TimingFrame::OutputSignal, 1},
    {"pv1size", "pv1size", 66, true, TimingFrame::OutputSignal, 3},
}};

// Index of a parameter in kTimingParameters, or -1.
constexpr int TimingParameterIndex(std::string_view name) {
    for (size_t i = 0; i < kTimingParameters.size(); ++i)
        if (kTimingParameters[i].name == name) return int(i);
    return -1;
}

// The value the image holds: for a 12-bit parameter high byte x 256 + low
// byte, which may lie above the bar's range.
int ImageValue(const TimingImage& image, const TimingParameter& parameter);

// Where the bar shows the image's value: values above the range sit at the
// bar's maximum.
int BarValue(const TimingImage& image, const TimingParameter& parameter);

// Whether a bar at `value` only stands for an image value it cannot show:
// the image then keeps the device's bytes until the user moves the bar.
bool StandsForValueAboveRange(const TimingImage& image, const TimingParameter& parameter,
                              int value);

// Splits `value` into the parameter's bytes of the image. Returns whether
// any byte changed; when none did, the device already holds the value.
bool StoreValue(TimingImage& image, const TimingParameter& parameter, int value);

}  // namespace talvo
