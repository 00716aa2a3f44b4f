#include "capture/picture_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace talvo {
namespace {

// Every byte written and flushed, or false: a buffered file reports a full
// disk only when its buffer goes out.
bool WriteAll(QFileDevice& file, QByteArrayView bytes) {
    return file.write(bytes.data(), bytes.size()) == bytes.size() && file.flush() &&
           file.error() == QFileDevice::NoError;
}

bool WriteInPlace(const QString& path, QByteArrayView bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !WriteAll(file, bytes)) return false;
    file.close();
    return file.error() == QFileDevice::NoError;
}

}  // namespace

bool WritePictureFile(const QString& path, QByteArrayView bytes) {
    // Followed through its links: what the name finally stands for.
    const QFileInfo target(QFileInfo(path).canonicalFilePath());
    if (target.exists() && !target.isFile() && !target.isDir())
        return WriteInPlace(target.filePath(), bytes);
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly) || !WriteAll(file, bytes)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace talvo
