#pragma once
// The file readers take paths, so the fuzz targets hand them a file: one per
// process (or a few), in a folder of its own that is removed when the
// process ends.

#include <QString>
#include <cstddef>
#include <cstdint>
#include <span>

namespace talvo::fuzz {

// Writes `bytes` to the process's file (or to its file called `name`, for a
// target that keeps several), then makes the file `length` bytes long (a
// longer file continues with zeros, a hole that costs no disk), and returns
// its path.
QString WriteFuzzFile(std::span<const uint8_t> bytes, int64_t length,
                      const QString& name = QStringLiteral("input.bin"));

}  // namespace talvo::fuzz
