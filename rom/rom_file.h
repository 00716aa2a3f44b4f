#pragma once
// The file a ROM write sends, read eight bytes at a time, so that no more of
// it than a buffer's worth is ever held in memory.

#include <QFile>
#include <QString>
#include <array>
#include <cstdint>

namespace talvo {

using RomReportData = std::array<uint8_t, 8>;

class RomFile {
  public:
    // Regular files only: a pipe would block the tool on opening, and a
    // device file has no length to plan by.
    bool open(const QString& path);
    int64_t length() const { return file_.size(); }
    // The next eight bytes; whatever lies past the end of the file or cannot
    // be read is zero, which keeps the file sum and the device's sum
    // comparable.
    RomReportData next();
    void close() { file_.close(); }

  private:
    QFile file_;
};

// The 16-bit sum of the next `reports` times eight bytes of `file`.
uint16_t SumReports(RomFile& file, int32_t reports);

}  // namespace talvo
