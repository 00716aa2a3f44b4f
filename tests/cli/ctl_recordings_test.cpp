// Every recording in tests/recordings replayed through the command it
// names: the tool must send what was recorded and come to the recorded
// result. A recording of a real device dropped there is a test as it is.

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QTest>

#include "cli/recording_file.h"
#include "tests/cli/ctl_runner.h"
#include "tests/support/test_main.h"

using talvo::testing::CtlRun;
using talvo::testing::RunCtl;
using talvo::testing::RunningCtl;

namespace {

QDir Recordings() { return QDir(QStringLiteral(TALVO_RECORDINGS_DIR)); }

QByteArray Compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Runs in a copy of the folder, so that the files a command reads are
// there and the ones it writes land beside them, not in the sources.
CtlRun ReplayIn(const QTemporaryDir& folder, const QStringList& arguments) {
    const QString before = QDir::currentPath();
    QDir::setCurrent(folder.path());
    const CtlRun run = RunCtl(arguments);
    QDir::setCurrent(before);
    return run;
}

void CopyFolder(const QTemporaryDir& into) {
    for (const QFileInfo& file : Recordings().entryInfoList(QDir::Files))
        QFile::copy(file.filePath(), into.filePath(file.fileName()));
}

}  // namespace

class CtlRecordingsTest : public QObject {
    Q_OBJECT
  private slots:
    void replaysToTheRecordedResult_data() {
        QTest::addColumn<QString>("path");
        const QStringList names = Recordings().entryList({QStringLiteral("*.jsonl")});
        QVERIFY(!names.isEmpty());
        for (const QString& name : names)
            QTest::newRow(qPrintable(name)) << Recordings().filePath(name);
    }
    void replaysToTheRecordedResult() {
        QFETCH(QString, path);
        auto read = talvo::cli::ReadRecordingFile(path);
        const QString* error = std::get_if<QString>(&read);
        QVERIFY2(!error, qPrintable(error ? *error : QString()));
        const auto& recording = std::get<talvo::cli::RecordingFile>(read);
        if (recording.command.isEmpty()) QSKIP("recorded by the windows: no command to replay");
        QVERIFY2(recording.result, "the recording ends before the tool's result");

        QTemporaryDir folder;
        CopyFolder(folder);
        const CtlRun run =
            ReplayIn(folder, QStringList{"--replay", path, "--replay-speed", "instant", "--json"} +
                                 recording.command);
        QVERIFY2(run.finished, run.err.constData());
        QCOMPARE(Compact(run.object()), Compact(*recording.result));
        if (!recording.output_sha256.isEmpty()) {
            const qsizetype flag = recording.command.indexOf(QStringLiteral("-o"));
            QVERIFY(flag >= 0 && flag + 1 < recording.command.size());
            QFile written(folder.filePath(recording.command[flag + 1]));
            QVERIFY(written.open(QIODevice::ReadOnly));
            QCOMPARE(
                QCryptographicHash::hash(written.readAll(), QCryptographicHash::Sha256).toHex(),
                recording.output_sha256.toLatin1());
        }
    }

    // key down where key up was recorded: the first report already differs.
    void departureIsNamedWithBothReports() {
        const CtlRun run = RunCtl({"--replay", Recordings().filePath("key-up.jsonl"),
                                   "--replay-speed", "instant", "--json", "key", "down"});
        QCOMPARE(run.exit_code, 5);
        const QJsonObject object = run.object();
        QCOMPARE(object.value("reason").toString(), QStringLiteral("diverged"));
        QCOMPARE(object.value("diverged_at").toInt(-1), 0);
        QCOMPARE(object.value("recorded").toString(), QStringLiteral("00130C000000000000"));
        QCOMPARE(object.value("sent").toString(), QStringLiteral("001310000000000000"));
        QVERIFY(
            run.said(QStringLiteral("departed from the recording at report 0: recorded out "
                                    "00130C000000000000, sent out 001310000000000000")));
    }

    // Killed in the middle of a capture, the recording keeps every report
    // up to then, each line whole: a line is flushed as it is written.
    void killedRunKeepsWholeLines() {
        QTemporaryDir folder;
        const QString path = folder.filePath("killed.jsonl");
        RunningCtl running({"--simulate", "--simulate-fault", "answer-delay:1", "--record", path,
                            "capture", "-o", folder.filePath("picture.bmp")});
        const auto lines = [&path] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
        };
        QTRY_VERIFY_WITH_TIMEOUT(lines() >= 100, 30000);
        running.kill();
        running.finish();
        auto read = talvo::cli::ReadRecordingFile(path);
        const QString* error = std::get_if<QString>(&read);
        QVERIFY2(!error, qPrintable(error ? *error : QString()));
        const auto& recording = std::get<talvo::cli::RecordingFile>(read);
        QVERIFY(recording.recording.reports.size() >= 99);
        QVERIFY(!recording.result);
    }
};

TALVO_TEST_GUILESS_MAIN(CtlRecordingsTest)
#include "ctl_recordings_test.moc"
