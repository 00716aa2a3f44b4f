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
// is cut to 257 bytes. In a folder that takes no new file (so no temporary
// one beside the target) but whose existing file may be written, the file
// is written in place instead: the save works there, at the cost that a
// write failing half way leaves the file half written.
bool SaveTimingFile(const QString& path, const TimingImage& image);

// Reads the first 256 bytes of a regular file into image offsets 0-255.
// All or nothing: a shorter or unreadable file leaves the image untouched.
bool LoadTimingFile(const QString& path, TimingImage& image);

}  // namespace talvo
