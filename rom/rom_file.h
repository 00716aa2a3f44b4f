#pragma once
// The file a ROM write sends, read eight bytes at a time, so that no more of
// it than a buffer's worth is ever held in memory.

#include <QFile>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace talvo {

using RomReportData = std::array<uint8_t, 8>;

class RomFile {
  public:
    // Regular files only: a pipe would block the tool on opening, and a
    // device file has no length to plan by. Reading starts at the first byte.
    bool open(const QString& path);
    int64_t length() const { return file_.size(); }
    // The bytes the plan counts on, from the first: every one of them must
    // be read, after this open() and every later one. Past them a report is
    // filled with zeros, which keeps the file sum and the device's sum
    // comparable.
    void expect(int64_t length) { expected_ = length; }
    // The next eight bytes; nullopt when the file ends, or a read fails,
    // before the expected length (a failing stick, a file another program
    // shortened): zeros sent in their place would be written and summed
    // alike, and the verify would pass.
    std::optional<RomReportData> next();
    void close() { file_.close(); }

  private:
    QFile file_;
    int64_t expected_ = 0;
    int64_t position_ = 0;
};

// The 16-bit sum of the next `reports` times eight bytes of `file`; nullopt
// when one of them cannot be read.
std::optional<uint16_t> SumReports(RomFile& file, int32_t reports);

}  // namespace talvo
