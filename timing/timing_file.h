#pragma once
// Timing data files: raw 257-byte copies of the timing image.

#include <QString>

#include "timing/timing_state.h"

namespace talvo {

inline constexpr qsizetype kTimingFileLength = 257;
// A load takes the first 256 bytes; the image's last byte keeps its value.
inline constexpr qsizetype kTimingFileLoadLength = 256;

// Writes the whole image. The file is replaced only once the new contents
// are complete, so a failed save leaves an earlier file whole; a longer file
// is cut to 257 bytes.
bool SaveTimingFile(const QString& path, const TimingImage& image);

// Reads the first 256 bytes of a regular file into image offsets 0-255.
// All or nothing: a shorter or unreadable file leaves the image untouched.
bool LoadTimingFile(const QString& path, TimingImage& image);

}  // namespace talvo
