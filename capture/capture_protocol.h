#pragma once
// The arithmetic of a capture, without widgets: which sizes the window takes,
// how the picture box is fitted to them, and how a line's stream of 64-byte
// reports lands in frame_buffer.

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include <QString>

namespace talvo {

inline constexpr uint8_t kPictureInfoCommand = 0x14;
inline constexpr uint8_t kLineRequestCommand = 0x15;
inline constexpr uint8_t kCaptureEndCommand = 0x16;
inline constexpr uint8_t kImageSlotCommand = 0x17;
inline constexpr uint8_t kCaptureReadyKey = 0x17;
inline constexpr uint8_t kCaptureFpgaSelection = 2;

inline constexpr int kReportDataBytes = 64;
// The data of one input report of a line's stream.
using LineReportData = std::array<uint8_t, kReportDataBytes>;

// The sizes of a picture the window accepted.
struct PictureSize {
    uint16_t source_width = 0;
    int32_t transfer_width = 0;  // pixels the device sends per line
    int32_t frame_width = 0;     // pixels stored per line
    int32_t frame_height = 0;

    int reportsPerLine() const { return 3 * transfer_width / kReportDataBytes; }
    int64_t frameBytes() const { return int64_t{frame_width} * frame_height * 3; }
};

// The size check of the picture-information answer. Every pair the answer can
// carry is either taken (widths 65..1984, heights 101..1299) or refused.
std::optional<PictureSize> CheckPictureSize(uint16_t width, uint16_t height);

// Where Picture1 goes for a picture, in twips: it keeps the height 4500, takes
// the picture's proportions and centres on the 8000-twip band from 1440.
struct DisplaySetup {
    double width_twips = 0;
    double left_twips = 0;
    int pen_width = 1;
};
DisplaySetup SetUpDisplay(int32_t frame_width, int32_t frame_height);

// "画面情報：水平SIZE= 640dot , 垂直SIZE= 480dot , RGB　24bit" for 640 x 480.
QString PictureInfoText(int32_t frame_width, int32_t frame_height);

// Stores the report_index-th report of a line's stream into `line` (the line's
// frame_width x 3 bytes of frame_buffer): red, green, blue in the stream become
// blue, green, red in the buffer, and pixels from frame_width on are dropped.
void StoreLineReport(std::span<uint8_t> line, int report_index, const LineReportData& data);

// Blackens the pixels from source_width on: the stream carries something there,
// but it is not part of the picture.
void BlackenLineTail(std::span<uint8_t> line, int32_t source_width);

}  // namespace talvo
