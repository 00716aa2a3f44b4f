#include "rom/rom_file.h"

#include <QFileInfo>

#include "rom/rom_plan.h"

namespace talvo {

bool RomFile::open(const QString& path) {
    file_.close();
    if (!QFileInfo(path).isFile()) return false;
    file_.setFileName(path);
    return file_.open(QIODevice::ReadOnly);
}

RomReportData RomFile::next() {
    RomReportData data{};
    if (!file_.isOpen()) return data;
    // A short or failed read leaves the rest zero.
    file_.read(reinterpret_cast<char*>(data.data()), qint64(data.size()));
    return data;
}

uint16_t SumReports(RomFile& file, int32_t reports) {
    uint16_t sum = 0;
    for (int32_t i = 0; i < reports; ++i) sum = AddToSum(sum, file.next());
    return sum;
}

}  // namespace talvo
