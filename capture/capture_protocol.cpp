#include "capture/capture_protocol.h"

#include <algorithm>

namespace talvo {
namespace {

int32_t RoundUp(int32_t value, int32_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

}  // namespace

std::optional<PictureSize> CheckPictureSize(uint16_t width, uint16_t height) {
    // 32-bit arithmetic: 65535 rounded up to 64 is 65536, past 16 bits.
    const int32_t transfer_width = RoundUp(width, 64);
    const int32_t h = height;
    if (transfer_width <= 100 || transfer_width >= 2048 || h <= 100 || h >= 1300)
        return std::nullopt;
    PictureSize size;
    size.source_width = width;
    size.transfer_width = transfer_width;
    size.frame_width = RoundUp(width, 4);
    size.frame_height = h;
    return size;
}

DisplaySetup SetUpDisplay(int32_t frame_width, int32_t frame_height) {
    DisplaySetup setup;
    if (frame_width <= 0 || frame_height <= 0) return setup;
    setup.width_twips = 4500.0 * frame_width / frame_height;
    setup.left_twips = 1440.0 + (8000.0 - setup.width_twips) / 2.0;
    setup.pen_width = setup.width_twips > 12.0 * frame_width ? 2 : 1;
    return setup;
}

QString PictureInfoText(int32_t frame_width, int32_t frame_height) {
    // Each number is preceded by the blank that holds the place of its sign.
    return QStringLiteral("画面情報：水平SIZE= %1dot , 垂直SIZE= %2dot , RGB\u300024bit")
        .arg(frame_width)
        .arg(frame_height);
}

void StoreLineReport(std::span<uint8_t> line, int report_index, const LineReportData& data) {
    const size_t pixels = line.size() / 3;
    size_t k = size_t(std::max(report_index, 0)) * kReportDataBytes;
    for (uint8_t byte : data) {
        const size_t pixel = k / 3;
        if (pixel >= pixels) return;  // the rest of the stream lies past frame_width
        line[pixel * 3 + 2 - k % 3] = byte;
        ++k;
    }
}

void BlackenLineTail(std::span<uint8_t> line, int32_t source_width) {
    const size_t from = size_t(std::max(source_width, 0)) * 3;
    if (from < line.size()) std::fill(line.begin() + from, line.end(), uint8_t{0});
}

}  // namespace talvo
