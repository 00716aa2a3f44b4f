// The progress line: percentage, amounts, rate and time left; a bar on a
// terminal, plain lines in a log.

#include <fcntl.h>
#include <unistd.h>

#include <QTest>
#include <cstdio>
#include <cstdlib>
#include "tests/support/test_main.h"

#include "cli/progress.h"

using talvo::cli::Console;
using talvo::cli::Progress;

namespace {

// Standard error as a terminal (the far end of a new pseudo-terminal) or as
// a log file; nullptr when no pseudo-terminal can be had.
FILE* ErrorStream(bool terminal) {
    if (!terminal) return std::tmpfile();
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return nullptr;
    FILE* far_end = std::fopen(ptsname(master), "w");
    // Kept open for the test's life: the terminal hangs up when it closes.
    return far_end;
}

}  // namespace

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
        QTest::newRow("half way") << lines << qint64(240) << qint64(480) << 2.0
                                  << "x  50% (240 of 480 lines), 120 lines/s, 0:02 left";
        QTest::newRow("bytes in KiB and MiB")
            << bytes << qint64(524288) << qint64(1048576) << 4.0
            << "x  50% (512.0 KiB of 1.0 MiB), 128.0 KiB/s, 0:04 left";
        QTest::newRow("minutes left") << bytes << qint64(1000) << qint64(100000) << 1.0
                                      << "x   1% (1000 B of 97.7 KiB), 1000 B/s, 1:39 left";
        // More than the total (the last report counted twice) stays at 100%.
        QTest::newRow("past the end") << lines << qint64(500) << qint64(480) << 1.0
                                      << "x 100% (500 of 480 lines), 500 lines/s, 0:00 left";
        QTest::newRow("no total") << lines << qint64(0) << qint64(0) << 0.0
                                  << "x   0% (0 of 0 lines)";
    }
    void line() {
        QFETCH(int, unit);
        QFETCH(qint64, done);
        QFETCH(qint64, total);
        QFETCH(double, seconds);
        QFETCH(QString, expected);
        QCOMPARE(
            Progress::Line(QStringLiteral("x"), Progress::Unit(unit), done, total, seconds, false),
            expected);
    }

    // A bar redrawn in place needs a terminal; a log gets whole lines it can
    // keep. --quiet draws nothing.
    void styleFollowsWhereProgressGoes_data() {
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<int>("style");
        QTest::newRow("terminal: a bar") << true << false << int(Progress::Style::Bar);
        QTest::newRow("log file: plain lines") << false << false << int(Progress::Style::Lines);
        QTest::newRow("quiet terminal: nothing") << true << true << int(Progress::Style::None);
    }
    void styleFollowsWhereProgressGoes() {
        QFETCH(bool, terminal);
        QFETCH(bool, quiet);
        FILE* err = ErrorStream(terminal);
        if (!err) QSKIP("no pseudo-terminal here");
        const Console console(stdout, err, quiet);
        QTEST(int(Progress::StyleFor(console)), "style");
        std::fclose(err);
    }

    // A bar starts each drawing with a carriage return and ends its line
    // once, at the finish; lines end each drawing with a newline.
    void drawings_data() {
        QTest::addColumn<int>("style");
        QTest::addColumn<QByteArray>("drawn");
        QTest::newRow("bar") << int(Progress::Style::Bar)
                             << QByteArray(
                                    "\rx [###############...............]  50% (1 of 2 lines)");
        QTest::newRow("lines") << int(Progress::Style::Lines)
                               << QByteArray("x  50% (1 of 2 lines)\n");
    }
    void drawings() {
        QFETCH(int, style);
        QFETCH(QByteArray, drawn);
        FILE* err = std::tmpfile();
        Console console(stdout, err, false);
        Progress progress(console, Progress::Style(style), QStringLiteral("x"),
                          Progress::Unit::Lines);
        progress.update(1, 2);
        std::fflush(err);
        QByteArray written(int(std::ftell(err)), '\0');
        std::rewind(err);
        QCOMPARE(std::fread(written.data(), 1, size_t(written.size()), err),
                 size_t(written.size()));
        std::fclose(err);
        QVERIFY2(written.startsWith(drawn), written.constData());
        QCOMPARE(written.count('\n'), style == int(Progress::Style::Lines) ? 1 : 0);
    }

    void barFillsWithTheFraction() {
        const QString line =
            Progress::Line(QStringLiteral("x"), Progress::Unit::Lines, 1, 3, 0.0, true);
        QVERIFY(line.startsWith(QStringLiteral("x [##########....................]  33%")));
    }
};

TALVO_TEST_GUILESS_MAIN(ProgressTest)
#include "progress_test.moc"
