#pragma once
// A picture file written whole or not at all, for every front end that saves
// one: a write that fails part way (a full disk, a file size limit, a pulled
// stick) leaves the file that was there before untouched.

#include <QByteArrayView>
#include <QString>

namespace talvo {

// Writes `bytes` to `path`. A regular file (or a new one) is written to a
// temporary file beside it and takes the name only once complete; a symbolic
// link keeps pointing at the file it names. What is neither (a device, a
// pipe) is written in place, since renaming over it would replace it. Where
// the folder takes no new file but the file itself may be written, it is
// written in place too. Returns false on any failure to write, flush or
// commit.
bool WritePictureFile(const QString& path, QByteArrayView bytes);

}  // namespace talvo
