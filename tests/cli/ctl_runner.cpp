#include "tests/cli/ctl_runner.h"

#include <signal.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace talvo::testing {

QString CtlPath() { return QStringLiteral(TALVO4CTL_PATH); }

std::vector<QByteArray> CtlRun::sent() const {
    std::vector<QByteArray> reports;
    for (const QByteArray& line : err.split('\n')) {
        if (!line.startsWith("> ")) continue;
        // Cut off a note after the bytes, such as "(write failed)".
        const qsizetype note = line.indexOf("  (");
        reports.push_back(QByteArray::fromHex(line.mid(2, note < 0 ? -1 : note - 2)));
    }
    return reports;
}

bool CtlRun::said(const QString& text) const { return err.contains(text.toUtf8()); }

QJsonObject CtlRun::object() const {
    if (!out.endsWith('\n') || out.count('\n') != 1) return {};
    return QJsonDocument::fromJson(out).object();
}

bool Holds(const QJsonValue& actual, const QJsonValue& expected) {
    if (expected.isObject()) {
        const QJsonObject wanted = expected.toObject();
        for (auto key = wanted.begin(); key != wanted.end(); ++key)
            if (!Holds(actual.toObject().value(key.key()), *key)) return false;
        return actual.isObject();
    }
    if (expected.isArray()) {
        const QJsonArray wanted = expected.toArray();
        const QJsonArray got = actual.toArray();
        if (!actual.isArray() || got.size() != wanted.size()) return false;
        for (qsizetype i = 0; i < wanted.size(); ++i)
            if (!Holds(got[i], wanted[i])) return false;
        return true;
    }
    if (expected.isNull()) return actual.isNull() || actual.isUndefined();
    return actual == expected;
}

CtlRun RunCtl(const QStringList& arguments, int limit_ms, const QString& runtime_folder,
              const QString& output_file) {
    RunningCtl running(arguments, runtime_folder, output_file);
    return running.finish(limit_ms);
}

RunningCtl::RunningCtl(const QStringList& arguments, const QString& runtime_folder,
                       const QString& output_file) {
    if (!output_file.isEmpty()) process_.setStandardOutputFile(output_file);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       runtime_folder.isEmpty() ? own_runtime_folder_.path() : runtime_folder);
    process_.setProcessEnvironment(environment);
    process_.start(CtlPath(), arguments);
    process_.waitForStarted(10000);
}

RunningCtl::~RunningCtl() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

bool RunningCtl::waitForError(const QByteArray& text, int limit_ms) {
    QElapsedTimer timer;
    timer.start();
    while (!err_.contains(text)) {
        const int left = int(limit_ms - timer.elapsed());
        if (left <= 0 || process_.state() == QProcess::NotRunning) return false;
        process_.waitForReadyRead(std::min(left, 200));
        err_ += process_.readAllStandardError();
    }
    return true;
}

void RunningCtl::kill() {
    process_.kill();
    process_.waitForFinished(10000);
}

void RunningCtl::interrupt() {
    if (process_.state() != QProcess::NotRunning) ::kill(pid_t(process_.processId()), SIGINT);
}

CtlRun RunningCtl::finish(int limit_ms) {
    CtlRun run;
    // Read as it comes: a full pipe would stall the program.
    QElapsedTimer timer;
    timer.start();
    while (process_.state() != QProcess::NotRunning && timer.elapsed() < limit_ms) {
        process_.waitForFinished(100);
        err_ += process_.readAllStandardError();
        run.out += process_.readAllStandardOutput();
    }
    run.finished = process_.state() == QProcess::NotRunning;
    if (!run.finished) {
        process_.kill();
        process_.waitForFinished(10000);
    }
    err_ += process_.readAllStandardError();
    run.out += process_.readAllStandardOutput();
    run.err = err_;
    run.exit_code =
        run.finished && process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    return run;
}

}  // namespace talvo::testing
