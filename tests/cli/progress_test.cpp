// The progress line: percentage, amounts, rate and time left.

#include "tests/support/test_main.h"

#include "cli/progress.h"

using talvo::cli::Progress;

class ProgressTest : public QObject {
    Q_OBJECT
  private slots:
    void line_data() {
        QTest::addColumn<int>("unit");
        QTest::addColumn<qint64>("done");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("expected");
        const int lines = int(Progress::Unit::Lines);
        const int bytes = int(Progress::Unit::Bytes);
        QTest::newRow("nothing yet: no rate")
            << lines << qint64(0) << qint64(480) << 0.0 << "x   0% (0 of 480 lines)";
        QTest::newRow("half way")
            << lines << qint64(240) << qint64(480) << 2.0
            << "x  50% (240 of 480 lines), 120 lines/s, 0:02 left";
        QTest::newRow("bytes in KiB and MiB")
            << bytes << qint64(524288) << qint64(1048576) << 4.0
            << "x  50% (512.0 KiB of 1.0 MiB), 128.0 KiB/s, 0:04 left";
        QTest::newRow("minutes left")
            << bytes << qint64(1000) << qint64(100000) << 1.0
            << "x   1% (1000 B of 97.7 KiB), 1000 B/s, 1:39 left";
        // More than the total (the last report counted twice) stays at 100%.
        QTest::newRow("past the end") << lines << qint64(500) << qint64(480) << 1.0
                                      << "x 100% (500 of 480 lines), 500 lines/s, 0:00 left";
        QTest::newRow("no total") << lines << qint64(0) << qint64(0) << 0.0 << "x   0% (0 of 0 lines)";
    }
    void line() {
        QFETCH(int, unit);
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        QCOMPARE(Progress::Line(QStringLiteral("x"), Progress::Unit(unit), done, total, seconds,
                                false),
                 expected);
    }

    void barFillsWithTheFraction() {
        const QString line =
            Progress::Line(QStringLiteral("x"), Progress::Unit::Lines, 1, 3, 0.0, true);
        QVERIFY(line.startsWith(QStringLiteral("x [##########....................]  33%")));
    }
};

TALVO_TEST_GUILESS_MAIN(ProgressTest)
#include "progress_test.moc"
