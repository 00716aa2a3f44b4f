// The bitmap writer and the save path rule, without any window.

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "capture/bitmap_file.h"
#include "tests/support/no_override.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::testing::NoOverride;
using talvo::testing::ReadFile;
using talvo::testing::TakesNoNewFiles;
using talvo::testing::WriteFile;

namespace {

std::vector<uint8_t> Gradient(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(size_t(y) * width + x) * 3];
            p[0] = uint8_t(x);          // blue
            p[1] = uint8_t(y);          // green
            p[2] = uint8_t(x + 2 * y);  // red
        }
    return pixels;
}

uint32_t Le32(const QByteArray& bytes, int offset) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | uint8_t(bytes[offset + i]);
    return value;
}

}  // namespace

class BitmapFileTest : public QObject {
    Q_OBJECT
  private slots:
    void headerFields_data();
    void headerFields();
    void headerBytesOf640x480();
    void pathRule_data();
    void pathRule();
    void fileDecodesBackToThePicture();
    void overwritingALongerFileLeavesNothingBehind();
    void failedSaveLeavesTheOldFileWhole();
    void folderThatTakesNoNewFiles();
    void mismatchedPixelsWriteNothing_data();
    void mismatchedPixelsWriteNothing();
};

void BitmapFileTest::headerFields_data() {
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("size");
    QTest::addColumn<qint64>("value");
    const qint64 h = 480;
    QTest::newRow("file size") << 2 << 4 << qint64(54 + 640 * h * 3);
    QTest::newRow("reserved") << 6 << 4 << qint64(0);
    QTest::newRow("pixel offset") << 10 << 4 << qint64(54);
    QTest::newRow("info size") << 14 << 4 << qint64(40);
    QTest::newRow("width") << 18 << 4 << qint64(640);
    QTest::newRow("height, top-down") << 22 << 4 << qint64(uint32_t(-480));
    QTest::newRow("planes") << 26 << 2 << qint64(1);
    QTest::newRow("bits") << 28 << 2 << qint64(24);
    QTest::newRow("compression") << 30 << 4 << qint64(0);
    QTest::newRow("pixel size") << 34 << 4 << qint64(0);
    QTest::newRow("x resolution") << 38 << 4 << qint64(3780);
    QTest::newRow("y resolution") << 42 << 4 << qint64(3780);
    QTest::newRow("colours used") << 46 << 4 << qint64(0);
    QTest::newRow("important colours") << 50 << 4 << qint64(0);
}

void BitmapFileTest::headerFields() {
    QFETCH(int, offset);
    QFETCH(int, size);
    QFETCH(qint64, value);
    const QByteArray header = BitmapHeader(640, 480);
    QCOMPARE(header.size(), 54);
    qint64 field = 0;
    for (int i = size - 1; i >= 0; --i) field = field << 8 | uint8_t(header[offset + i]);
    QCOMPARE(field, value);
}

void BitmapFileTest::headerBytesOf640x480() {
    const QByteArray header = BitmapHeader(640, 480);
    QCOMPARE(header.left(2), QByteArray("BM"));
    QCOMPARE(header.mid(18, 4), QByteArray::fromHex("80020000"));
    QCOMPARE(header.mid(22, 4), QByteArray::fromHex("20FEFFFF"));
    QCOMPARE(Le32(header, 2), 921654u);
}

void BitmapFileTest::pathRule_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("path");
    QTest::newRow("last dot of the name") << "C:\\pic\\shot.001.jpg"
                                          << "C:\\pic\\shot.001.bmp";
    QTest::newRow("no dot") << "C:\\pic\\shot"
                            << "C:\\pic\\shot.bmp";
    QTest::newRow("dot only in the folder") << "C:\\pic.d\\shot"
                                            << "C:\\pic.d\\shot.bmp";
    QTest::newRow("dot only in a unix folder") << "/home/u/pic.d/shot"
                                               << "/home/u/pic.d/shot.bmp";
    QTest::newRow("unix extension") << "/home/u/shot.bmp"
                                    << "/home/u/shot.bmp";
    QTest::newRow("trailing dot") << "shot."
                                  << "shot.bmp";
    QTest::newRow("bare name") << "shot"
                               << "shot.bmp";
}

void BitmapFileTest::pathRule() {
    QFETCH(QString, chosen);
    QTEST(BitmapPathFor(chosen), "path");
}

void BitmapFileTest::fileDecodesBackToThePicture() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("picture.bmp"));
    const int w = 68, h = 101;
    const std::vector<uint8_t> pixels = Gradient(w, h);
    QVERIFY(WriteBitmap(path, w, h, pixels));
    const QByteArray bytes = ReadFile(path);
    QCOMPARE(bytes.size(), 54 + w * h * 3);
    QCOMPARE(Le32(bytes, 2), uint32_t(bytes.size()));
    QCOMPARE(bytes.mid(54),
             QByteArray(reinterpret_cast<const char*>(pixels.data()), qsizetype(pixels.size())));

    QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(w, h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &pixels[(size_t(y) * w + x) * 3];
            if (image.pixel(x, y) != qRgb(p[2], p[1], p[0]))
                QFAIL(qPrintable(QStringLiteral("pixel %1,%2").arg(x).arg(y)));
        }
}

void BitmapFileTest::overwritingALongerFileLeavesNothingBehind() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.bmp"));
    QVERIFY(WriteFile(path, QByteArray(1 << 20, 'x')));
    const std::vector<uint8_t> pixels = Gradient(68, 101);
    QVERIFY(WriteBitmap(path, 68, 101, pixels));
    QCOMPARE(ReadFile(path).size(), 54 + 68 * 101 * 3);
}

void BitmapFileTest::failedSaveLeavesTheOldFileWhole() {
    QTemporaryDir dir;
    const QByteArray old_bytes("an earlier picture");
    // A "folder" that is a regular file: nothing can be created inside it.
    const QString not_a_folder = dir.filePath(QStringLiteral("plain"));
    QVERIFY(WriteFile(not_a_folder, old_bytes));
    const std::vector<uint8_t> pixels = Gradient(68, 101);
    QVERIFY(!WriteBitmap(not_a_folder + QStringLiteral("/shot.bmp"), 68, 101, pixels));
    QCOMPARE(ReadFile(not_a_folder), old_bytes);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("plain")});
}

void BitmapFileTest::folderThatTakesNoNewFiles() {
    QTemporaryDir dir;
    const QString writable = dir.filePath(QStringLiteral("writable.bmp"));
    const QString read_only = dir.filePath(QStringLiteral("read-only.bmp"));
    QVERIFY(WriteFile(writable, QByteArray(1 << 20, 'x')));
    QVERIFY(WriteFile(read_only, QByteArray("kept")));
    QVERIFY(QFile::setPermissions(read_only, QFile::ReadOwner));
    const QFile::Permissions open_folder = QFile::permissions(dir.path());
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const std::vector<uint8_t> pixels = Gradient(68, 101);
    bool wrote_in_place = false, wrote_new = true, wrote_read_only = true;
    {
        NoOverride as_a_user;
        if (as_a_user.ok() && TakesNoNewFiles(dir.path())) {
            wrote_in_place = WriteBitmap(writable, 68, 101, pixels);
            wrote_new = WriteBitmap(dir.filePath(QStringLiteral("new.bmp")), 68, 101, pixels);
            wrote_read_only = WriteBitmap(read_only, 68, 101, pixels);
        } else {
            QFile::setPermissions(dir.path(), open_folder);
            QSKIP("cannot take the right to create files from this process");
        }
    }
    QVERIFY(QFile::setPermissions(dir.path(), open_folder));
    QVERIFY(wrote_in_place);
    QCOMPARE(ReadFile(writable),
             BitmapHeader(68, 101) + QByteArray(reinterpret_cast<const char*>(pixels.data()),
                                                qsizetype(pixels.size())));
    QVERIFY(!wrote_new);
    QVERIFY(!wrote_read_only);
    QCOMPARE(ReadFile(read_only), QByteArray("kept"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void BitmapFileTest::mismatchedPixelsWriteNothing_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bytes");
    QTest::newRow("too few bytes") << 68 << 101 << 68 * 101 * 3 - 1;
    QTest::newRow("too many bytes") << 68 << 101 << 68 * 101 * 3 + 3;
    QTest::newRow("empty picture") << 0 << 0 << 0;
    QTest::newRow("negative height") << 68 << -101 << 68 * 101 * 3;
}

void BitmapFileTest::mismatchedPixelsWriteNothing() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.bmp"));
    QVERIFY(WriteFile(path, QByteArray("old")));
    QVERIFY(!WriteBitmap(path, width, height, std::vector<uint8_t>(size_t(bytes), 1)));
    QCOMPARE(ReadFile(path), QByteArray("old"));
}

TALVO_TEST_MAIN(BitmapFileTest)
#include "bitmap_file_test.moc"
