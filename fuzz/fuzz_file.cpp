#include "fuzz/fuzz_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

namespace talvo::fuzz {

QString WriteFuzzFile(std::span<const uint8_t> bytes, int64_t length, const QString& name) {
    static QTemporaryDir folder;
    if (!folder.isValid()) std::abort();
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    const auto written =
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    if (written != qint64(bytes.size()) || !file.resize(length)) std::abort();
    return path;
}

}  // namespace talvo::fuzz
