#include "capture/frame_image.h"

namespace talvo {

QImage FrameImage(const CaptureState& state) {
    const int32_t width = state.frame_width;
    const int32_t height = state.frame_height;
    if (width <= 0 || height <= 0) return {};
    const size_t line_bytes = size_t(width) * 3;
    if (state.frame_buffer.size() != line_bytes * size_t(height)) return {};
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull()) return {};
    for (int y = 0; y < height; ++y) {
        // The buffer holds each pixel blue, green, red; the image red, green, blue.
        const uint8_t* from = state.frame_buffer.data() + size_t(y) * line_bytes;
        uint8_t* to = image.scanLine(y);
        for (size_t b = 0; b < line_bytes; b += 3) {
            to[b] = from[b + 2];
            to[b + 1] = from[b + 1];
            to[b + 2] = from[b];
        }
    }
    return image;
}

}  // namespace talvo
