#include "sim/capture_model.h"

#include <algorithm>

namespace talvo::sim {

PatternPixel TestPattern(int x, int y) {
    return {uint8_t(x * 3 + y), uint8_t(x + y * 5 + 0x40), uint8_t((x ^ (y * 7)) + 0x80)};
}

void CaptureModel::command(const CommandArray& command, Answers& answers) {
    switch (command[0]) {
        case 0x14:
            lines_requested_ = 0;
            answers.add({uint8_t(width & 0xFF), uint8_t(width >> 8), uint8_t(height & 0xFF),
                         uint8_t(height >> 8), fpga_selection});
            break;
        case 0x15: {
            // The host sends no line number: the n-th request delivers line n - 1,
            // as many 64-byte reports as the request asks for.
            const int line = lines_requested_++;
            if (on_line_request) on_line_request(line);
            sendLine(line, command[1], answers);
            break;
        }
        case 0x16:
            ++capture_ends_;
            answers.add({0x16});
            break;
        default:  // 0x17
            slot_codes_.push_back({std::chrono::steady_clock::now(), command[1]});
            takeSlotCode(command[1]);
            answers.add({0x17, command[1]});
            break;
    }
}

void CaptureModel::takeSlotCode(uint8_t code) {
    // Recording starts with 0xA0 + 5 (slot - 1); a show code is
    // 0xC0 + 4 (slot - 1); 0x80 is the live picture.
    if (code >= 0xA0 && code < 0xA0 + 5 * 4 && (code - 0xA0) % 5 == 0)
        image_slots.recorded[size_t((code - 0xA0) / 5)] = true;
    else if (code >= 0xC0 && code < 0xC0 + 4 * 4 && (code - 0xC0) % 4 == 0)
        image_slots.shown = uint8_t((code - 0xC0) / 4 + 1);
    else if (code == 0x80)
        image_slots.shown = 0;
}

void CaptureModel::sendLine(int line, int reports, Answers& answers) const {
    // Lines past the height come out black.
    std::vector<uint8_t> stream(size_t(reports) * kInputDataLength, 0);
    if (line < int(height)) {
        for (size_t k = 0; k < stream.size(); k += 3) {
            const PatternPixel pixel = pattern(int(k / 3), line);
            stream[k] = pixel.red;
            if (k + 1 < stream.size()) stream[k + 1] = pixel.green;
            if (k + 2 < stream.size()) stream[k + 2] = pixel.blue;
        }
    }
    for (int r = 0; r < reports; ++r) {
        Answer answer;
        std::copy_n(stream.begin() + r * std::ptrdiff_t(kInputDataLength), kInputDataLength,
                    answer.begin());
        answers.add(answer);
    }
}

}  // namespace talvo::sim
