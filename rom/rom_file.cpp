#include "rom/rom_file.h"

#include <QFileInfo>
#include <algorithm>

#include "rom/rom_plan.h"

namespace talvo {

bool RomFile::open(const QString& path) {
    file_.close();
    position_ = 0;
    if (!QFileInfo(path).isFile()) return false;
    file_.setFileName(path);
    return file_.open(QIODevice::ReadOnly);
}

std::optional<RomReportData> RomFile::next() {
    if (!file_.isOpen()) return std::nullopt;
    RomReportData data{};
    const int64_t wanted = std::clamp<int64_t>(expected_ - position_, 0, int64_t(data.size()));
    position_ += int64_t(data.size());
    if (wanted == 0) return data;
    if (file_.read(reinterpret_cast<char*>(data.data()), wanted) != wanted) return std::nullopt;
    return data;
}

std::optional<uint16_t> SumReports(RomFile& file, int32_t reports) {
    uint16_t sum = 0;
    for (int32_t i = 0; i < reports; ++i) {
        const std::optional<RomReportData> data = file.next();
        if (!data) return std::nullopt;
        sum = AddToSum(sum, *data);
    }
    return sum;
}

}  // namespace talvo
