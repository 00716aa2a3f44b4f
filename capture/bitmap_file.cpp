#include "capture/bitmap_file.h"

#include <QSaveFile>
#include <algorithm>

namespace talvo {
namespace {

void Put16(QByteArray& bytes, int offset, uint16_t value) {
    bytes[offset] = char(value & 0xFF);
    bytes[offset + 1] = char(value >> 8);
}

void Put32(QByteArray& bytes, int offset, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

constexpr uint32_t kPixelsPerMetre = 3780;  // about 96 dots per inch

}  // namespace

QByteArray BitmapHeader(int32_t width, int32_t height) {
    QByteArray header(kBitmapHeaderBytes, '\0');
    const int64_t pixel_bytes = int64_t{width} * height * 3;
    header[0] = 'B';
    header[1] = 'M';
    Put32(header, 2, uint32_t(kBitmapHeaderBytes + pixel_bytes));
    Put32(header, 10, kBitmapHeaderBytes);
    Put32(header, 14, 40);
    Put32(header, 18, uint32_t(width));
    Put32(header, 22, uint32_t(-int64_t{height}));
    Put16(header, 26, 1);
    Put16(header, 28, 24);
    // Compression, pixel data size, colours used and important colours stay 0.
    Put32(header, 38, kPixelsPerMetre);
    Put32(header, 42, kPixelsPerMetre);
    return header;
}

QString BitmapPathFor(const QString& chosen_name) {
    const qsizetype last_dot = chosen_name.lastIndexOf(u'.');
    const qsizetype last_separator =
        std::max(chosen_name.lastIndexOf(u'\\'), chosen_name.lastIndexOf(u'/'));
    const bool cut = last_dot >= 0 && last_dot > last_separator;
    return (cut ? chosen_name.left(last_dot) : chosen_name) + QStringLiteral(".bmp");
}

bool WriteBitmap(const QString& file_name, int32_t width, int32_t height,
                 std::span<const uint8_t> frame_buffer) {
    if (width <= 0 || height <= 0) return false;
    if (int64_t(frame_buffer.size()) != int64_t{width} * height * 3) return false;
    QSaveFile file(file_name);
    // The file goes to a new file beside it first; where the folder takes no
    // new files but the file may be written, it is written in place.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const QByteArray header = BitmapHeader(width, height);
    if (file.write(header) != header.size()) return false;
    const auto* pixels = reinterpret_cast<const char*>(frame_buffer.data());
    if (file.write(pixels, qint64(frame_buffer.size())) != qint64(frame_buffer.size()))
        return false;
    return file.commit();
}

}  // namespace talvo
