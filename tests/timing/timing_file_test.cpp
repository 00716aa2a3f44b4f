// Timing data files, read and written without dialogs.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "tests/support/no_override.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"
#include "timing/timing_file.h"

using namespace talvo;
using talvo::testing::NoOverride;
using talvo::testing::ReadFile;
using talvo::testing::WriteFile;

namespace {

QByteArray Pattern(qsizetype length, int start = 0) {
    QByteArray bytes(length, '\0');
    for (qsizetype i = 0; i < length; ++i) bytes[i] = char((start + i) & 0xFF);
    return bytes;
}

ino_t InodeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
}

// Puts a folder's permissions back when a test ends, passed or not, so that
// its temporary folder can be removed.
struct ModeBack {
    QString path;
    ~ModeBack() { ::chmod(QFile::encodeName(path).constData(), 0700); }
};

// A load that wrongly opens a named pipe waits there for a writer. After a
// while this gives such a reader 256 bytes and an end of file, so that the
// load returns (with a "whole file" its test then refuses) instead of
// hanging the test program.
class PipeFeeder {
  public:
    PipeFeeder(const QString& path, std::chrono::milliseconds after)
        : path_(QFile::encodeName(path)), thread_([this, after] { run(after); }) {}
    ~PipeFeeder() {
        done_ = true;
        thread_.join();
    }
    bool fed() const { return fed_; }

  private:
    void run(std::chrono::milliseconds after) {
        using namespace std::chrono_literals;
        const auto deadline = std::chrono::steady_clock::now() + after;
        while (!done_) {
            std::this_thread::sleep_for(10ms);
            if (std::chrono::steady_clock::now() < deadline) continue;
            // Succeeds only while a reader has the pipe open, or waits to.
            const int fd = ::open(path_.constData(), O_WRONLY | O_NONBLOCK);
            if (fd < 0) continue;
            const QByteArray bytes(256, '\x42');
            fed_ = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
            ::close(fd);
            return;
        }
    }

    QByteArray path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> fed_{false};
    std::thread thread_;
};

TimingImage ImageOf(const QByteArray& bytes) {
    TimingImage image{};
    for (size_t i = 0; i < image.size() && qsizetype(i) < bytes.size(); ++i)
        image[i] = uint8_t(bytes[qsizetype(i)]);
    return image;
}

}  // namespace

class TimingFileTest : public QObject {
    Q_OBJECT
  private slots:
    // Each test gets a folder of its own.
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void saveWritesTheWholeImage() {
        const TimingImage image = ImageOf(Pattern(257, 3));
        const QString path = dir_->filePath(QStringLiteral("ombrix3_syc1.bin"));
        QVERIFY(SaveTimingFile(path, image));
        QCOMPARE(ReadFile(path), Pattern(257, 3));
    }

    void saveCutsALongerFileTo257Bytes() {
        const QString path = dir_->filePath(QStringLiteral("long.bin"));
        QVERIFY(WriteFile(path, QByteArray(1000, '\x55')));
        QVERIFY(SaveTimingFile(path, ImageOf(Pattern(257))));
        QCOMPARE(ReadFile(path), Pattern(257));
    }

    void failedSaveLeavesTheEarlierFileWhole() {
        // A name of the longest length a folder takes leaves no room for the
        // name of a temporary file beside it, so the save must fail before
        // it touches the earlier file.
        const QString name = QString(255 - 4, u'a') + QStringLiteral(".bin");
        const QString path = dir_->filePath(name);
        const QByteArray earlier = Pattern(300, 9);
        if (!WriteFile(path, earlier)) QSKIP("this file system takes no 255-character names");
        QVERIFY(!SaveTimingFile(path, ImageOf(Pattern(257))));
        QCOMPARE(ReadFile(path), earlier);
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files).size(), 1);
    }

    void saveIntoAMissingFolderFails() {
        const QString path = dir_->filePath(QStringLiteral("missing/ombrix3_syc.bin"));
        QVERIFY(!SaveTimingFile(path, TimingImage{}));
        QVERIFY(!QFileInfo::exists(path));
    }

    // The save goes through a temporary file beside the target, which then
    // replaces it (a new inode). A folder that takes no new file leaves no
    // room for that; an earlier file there that may be written is then
    // written in place (the same inode).
    void saveReplacesOrWritesInPlace_data() {
        QTest::addColumn<bool>("folderOpen");  // the folder takes new files
        QTest::addColumn<bool>("earlierFile");
        QTest::addColumn<bool>("saves");
        QTest::newRow("open folder, new file") << true << false << true;
        QTest::newRow("open folder, earlier file replaced") << true << true << true;
        QTest::newRow("closed folder, earlier file written in place") << false << true << true;
        QTest::newRow("closed folder, no file to write") << false << false << false;
    }
    void saveReplacesOrWritesInPlace() {
        QFETCH(bool, folderOpen);
        QFETCH(bool, earlierFile);
        QFETCH(bool, saves);
        const QString folder = dir_->filePath(QStringLiteral("folder"));
        QVERIFY(QDir().mkdir(folder));
        ModeBack mode_back{folder};
        const QString path = folder + QStringLiteral("/ombrix3_syc.bin");
        const QByteArray earlier = Pattern(1000, 0x55);  // longer: must be cut
        if (earlierFile) QVERIFY(WriteFile(path, earlier));
        const ino_t inode_before = InodeOf(path);
        if (!folderOpen) QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0500), 0);

        NoOverride as_a_user;
        QVERIFY2(as_a_user.ok(), "could not give up overriding file permissions");
        if (!folderOpen) {
            QFile probe(folder + QStringLiteral("/probe"));
            QVERIFY2(!probe.open(QIODevice::WriteOnly),
                     "the closed folder still takes new files: permissions are overridden");
        }
        QCOMPARE(SaveTimingFile(path, ImageOf(Pattern(257, 7))), saves);

        // Never a stray temporary file, whichever way the save went.
        const QStringList expected =
            earlierFile || saves ? QStringList{QStringLiteral("ombrix3_syc.bin")} : QStringList{};
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System), expected);
        if (!saves) return;
        QCOMPARE(ReadFile(path), Pattern(257, 7));
        if (earlierFile) QCOMPARE(InodeOf(path) == inode_before, !folderOpen);
    }

    void loadTakesTheFirst256Bytes_data() {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("loads");
        QTest::newRow("empty") << 0 << false;
        QTest::newRow("100 bytes") << 100 << false;
        QTest::newRow("255 bytes") << 255 << false;
        QTest::newRow("256 bytes") << 256 << true;
        QTest::newRow("257 bytes") << 257 << true;
        QTest::newRow("4000 bytes") << 4000 << true;
    }
    void loadTakesTheFirst256Bytes() {
        QFETCH(int, length);
        QFETCH(bool, loads);
        const QString path = dir_->filePath(QStringLiteral("in.bin"));
        QVERIFY(WriteFile(path, Pattern(length, 0x80)));
        TimingImage image;
        image.fill(0xEE);
        const TimingImage before = image;
        QCOMPARE(LoadTimingFile(path, image), loads);
        if (!loads) {
            // A short file is refused whole: not even its first bytes land.
            QCOMPARE(image, before);
            return;
        }
        for (size_t i = 0; i < 256; ++i) QCOMPARE(image[i], uint8_t((0x80 + i) & 0xFF));
        QCOMPARE(image[256], uint8_t(0xEE));  // the file's 257th byte is not read
    }

    void loadKeepsEveryByteValue() {
        const QString path = dir_->filePath(QStringLiteral("all.bin"));
        QVERIFY(WriteFile(path, Pattern(257)));
        TimingImage image{};
        QVERIFY(LoadTimingFile(path, image));
        for (size_t i = 0; i < 256; ++i) QCOMPARE(int(image[i]), int(i));
    }

    void loadRefusesWhatIsNoRegularFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("folder") << "folder";
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("endless device") << "device";
    }
    void loadRefusesWhatIsNoRegularFile() {
        QFETCH(QString, kind);
        QString path = dir_->filePath(kind);
        if (kind == QLatin1String("folder")) QVERIFY(QDir(dir_->path()).mkdir(kind));
        // Opening a pipe nobody writes to would wait for ever.
        if (kind == QLatin1String("pipe")) QCOMPARE(mkfifo(QFile::encodeName(path), 0600), 0);
        if (kind == QLatin1String("device")) path = QStringLiteral("/dev/zero");
        TimingImage image;
        image.fill(0x11);
        bool fed = false;
        {
            std::optional<PipeFeeder> feeder;
            if (kind == QLatin1String("pipe")) feeder.emplace(path, std::chrono::seconds(2));
            QVERIFY2(!LoadTimingFile(path, image), "the load took what is no regular file");
            fed = feeder && feeder->fed();
        }
        QVERIFY2(!fed, "the load opened the pipe and waited for a writer");
        for (uint8_t b : image) QCOMPARE(b, uint8_t(0x11));
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
};

TALVO_TEST_MAIN(TimingFileTest)
#include "timing_file_test.moc"
