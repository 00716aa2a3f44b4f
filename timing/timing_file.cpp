#include "timing/timing_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace talvo {

bool SaveTimingFile(const QString& path, const TimingImage& image) {
    static_assert(TimingImage().size() == size_t(kTimingFileLength));
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly)) return false;
    const auto* data = reinterpret_cast<const char*>(image.data());
    if (file.write(data, kTimingFileLength) != kTimingFileLength) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool LoadTimingFile(const QString& path, TimingImage& image) {
    // Only regular files: opening a pipe would wait for a writer forever, and
    // a device file could stand for anything.
    if (!QFileInfo(path).isFile()) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QByteArray bytes;
    while (bytes.size() < kTimingFileLoadLength) {
        const QByteArray chunk = file.read(kTimingFileLoadLength - bytes.size());
        if (chunk.isEmpty()) break;
        bytes += chunk;
    }
    if (bytes.size() < kTimingFileLoadLength) return false;
    std::copy_n(reinterpret_cast<const uint8_t*>(bytes.constData()), kTimingFileLoadLength,
                image.begin());
    return true;
}

}  // namespace talvo
