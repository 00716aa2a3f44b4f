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
        QTest::newRow("a new file") << "new" << true;
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
        const QByteArray picture(12000, 'p');
        const QString path = dir.filePath(QStringLiteral("shot.png"));
        QString file = path;
        if (kind != QLatin1String("new")) {
            if (kind == QLatin1String("link") || kind == QLatin1String("full device")) {
                file = kind == QLatin1String("link") ? dir.filePath(QStringLiteral("real.png"))
                                                     : FullDevice(dir);
                QVERIFY(QFile::link(file, path));
            }
            if (kind != QLatin1String("full device")) QVERIFY(WriteFile(file, old_bytes));
        }
        bool written = false;
        if (kind == QLatin1String("limit")) {
            const FileSizeLimit limit(8192);
            written = WritePictureFile(path, picture);
        } else {
            written = WritePictureFile(path, picture);
        }
        QTEST(written, "written");
        if (kind == QLatin1String("full device")) {
            QVERIFY(QFileInfo(path).isSymLink());
            QCOMPARE(QFileInfo(file).isFile(), false);
            QVERIFY(QFileInfo(file).exists());
            return;
        }
        QCOMPARE(ReadFile(file), written ? picture : old_bytes);
        QCOMPARE(QFileInfo(path).isSymLink(), kind == QLatin1String("link"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 kind == QLatin1String("link") ? 2 : 1);
    }
};

TALVO_TEST_GUILESS_MAIN(PictureFileTest)
#include "picture_file_test.moc"
