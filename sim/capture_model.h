#pragma once
// The device's picture path and image slots as the capture window sees them:
// the picture-information answer, a test pattern sent line by line, the end of
// a capture, and the image-slot codes with the time each one arrived.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "device/device_link.h"
#include "sim/answers.h"

namespace talvo::sim {

struct PatternPixel {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const PatternPixel&) const = default;
};

// The picture the device sends unless a test gives it another: the three
// colours differ from each other and from pixel to pixel, so every byte of a
// line can be predicted from x and y.
PatternPixel TestPattern(int x, int y);

struct SlotCodeRecord {
    std::chrono::steady_clock::time_point time;
    uint8_t code = 0;
};

// What the four image slots hold, as far as the tool can tell: which were
// recorded, and which one the device shows (0: the live picture).
struct ImageSlots {
    std::array<bool, 4> recorded{};
    uint8_t shown = 0;
    bool operator==(const ImageSlots&) const = default;
};

class CaptureModel {
  public:
    void command(const CommandArray& command, Answers& answers);

    // What the picture-information answer reports.
    uint16_t width = 640;
    uint16_t height = 480;
    uint8_t fpga_selection = 2;
    ImageSlots image_slots;
    // The picture sent for pixel (x, y), also for pixels past the width.
    std::function<PatternPixel(int x, int y)> pattern = TestPattern;
    // Told of every line request with the line it is going to deliver.
    std::function<void(int line)> on_line_request;

    const std::vector<SlotCodeRecord>& slotCodes() const { return slot_codes_; }
    // Line requests since the last picture-information query.
    int linesRequested() const { return lines_requested_; }
    int captureEnds() const { return capture_ends_; }

  private:
    void takeSlotCode(uint8_t code);
    void sendLine(int line, int reports, Answers& answers) const;

    std::vector<SlotCodeRecord> slot_codes_;
    int lines_requested_ = 0;
    int capture_ends_ = 0;
};

}  // namespace talvo::sim
