#pragma once
// The bitmap writer: frame_buffer as an uncompressed, top-down 24-bit bitmap,
// and the rule that turns a name from the save dialog into the file's path.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>

namespace talvo {

inline constexpr int kBitmapHeaderBytes = 54;

// The 14-byte file header and the 40-byte information header; the height
// goes in negative, so the top line comes first.
QByteArray BitmapHeader(int32_t width, int32_t height);

// The name with its extension replaced by ".bmp". Only a "." in the last path
// element starts an extension: "C:\pic.d\shot" stays in its folder.
QString BitmapPathFor(const QString& chosen_name);

// Writes the picture to file_name. The file appears only once it is complete,
// so a failed write leaves an earlier file of that name whole; only in a
// folder that lets the user write the file but create no new one is it
// written in place, where a failed write may leave part of it. Returns false
// on any failure, writing nothing when the failure is known before (the
// pixels do not hold width x height x 3 bytes, or the sizes are not positive).
bool WriteBitmap(const QString& file_name, int32_t width, int32_t height,
                 std::span<const uint8_t> frame_buffer);

}  // namespace talvo
