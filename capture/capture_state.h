#pragma once
// The picture and the capture's stop flag: program-wide, so the last picture
// survives closing and reopening the capture window.

#include <QString>
#include <cstdint>
#include <vector>

namespace talvo {

struct CaptureState {
    uint16_t source_width = 0;
    int32_t transfer_width = 0;
    int32_t frame_width = 0;
    int32_t frame_height = 0;
    std::vector<uint8_t> frame_buffer;  // blue, green, red; top line first
    int16_t stop_requested = 0;
    QString file_name;  // where the last bitmap save went
};

}  // namespace talvo
