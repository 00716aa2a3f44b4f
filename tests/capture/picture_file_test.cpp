// The picture file writer on its own: a write that fails part way leaves the
// earlier file whole, and a name that stands for something else than a
// regular file is never renamed over.

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include "capture/picture_file.h"
#include "tests/support/file_size_limit.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::testing::FileSizeLimit;
using talvo::testing::ReadFile;
using talvo::testing::WriteFile;

namespace {

// A device that takes no byte: a node of its own where this process may make
// one, so that nothing that goes wrong can touch the system's.
QString FullDevice(const QTemporaryDir& dir) {
    const QString own = dir.filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(own).constData(), S_IFCHR | 0600, makedev(1, 7)) == 0) return own;
    return QStringLiteral("/dev/full");
}

}  // namespace

class PictureFileTest : public QObject {
    Q_OBJECT
  private slots:
    // Each way a file is written or refused: what the name then holds, and
    // that nothing else is left in the folder.
    void writes_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("written");
        QTest::newRow("over a longer file: nothing of it left") << "longer" << true;
        QTest::newRow("through a link: the file it names, the link kept") << "link" << true;
        QTest::newRow("past a file size limit: the old file whole") << "limit" << false;
        QTest::newRow("a link to a full device: written there, not renamed over")
            << "full device" << false;
    }
    void writes() {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QByteArray old_bytes(20000, 'o');
        const QString path = dir.filePath(QStringLiteral("shot.png"));
        const bool full = kind == QLatin1String("full device");
        const bool link = kind == QLatin1String("link") || full;
        const QString file = full   ? FullDevice(dir)
                             : link ? dir.filePath(QStringLiteral("real.png"))
                                    : path;
        if (link) QVERIFY(QFile::link(file, path));
        if (!full) QVERIFY(WriteFile(file, old_bytes));
        std::optional<FileSizeLimit> limit;
        if (kind == QLatin1String("limit")) limit.emplace(8192);
        const QByteArray picture(12000, 'p');
        const bool written = WritePictureFile(path, picture);
        limit.reset();

        QTEST(written, "written");
        QCOMPARE(QFileInfo(path).isSymLink(), link);
        if (full) {
            QVERIFY(QFileInfo(file).exists() && !QFileInfo(file).isFile());
            return;
        }
        QCOMPARE(ReadFile(file), written ? picture : old_bytes);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 link ? 2 : 1);
    }
};

TALVO_TEST_GUILESS_MAIN(PictureFileTest)
#include "picture_file_test.moc"
