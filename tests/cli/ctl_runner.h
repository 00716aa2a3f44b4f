#pragma once
// Runs the built talvo4ctl as a script would, and reads what it sent from
// its --trace output. Each run gets a runtime folder of its own, so that
// the simulated device's lock of one test never reaches another that ctest
// runs beside it; runs that must meet share one by naming it.

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

namespace talvo::testing {

struct CtlRun {
    int exit_code = -1;
    bool finished = false;  // false: it had to be killed after the time limit
    QByteArray out;
    QByteArray err;

    // The reports it sent, from the "> .." lines of --trace, as bytes.
    std::vector<QByteArray> sent() const;
    // Whether standard error holds `text` (UTF-8).
    bool said(const QString& text) const;
    // The one JSON object of --json: standard output holds it on one line
    // and nothing else; an empty object otherwise.
    QJsonObject object() const;
};

// Whether `actual` holds everything `expected` does: each key of an object
// (a null one: absent or null), each element of an array of the same size.
bool Holds(const QJsonValue& actual, const QJsonValue& expected);

// Runs talvo4ctl with `arguments`; kills it after `limit_ms`. An empty
// `runtime_folder` is a new one for this run; a named `output_file` is its
// standard output instead of a pipe (a terminal, /dev/full).
CtlRun RunCtl(const QStringList& arguments, int limit_ms = 60000,
              const QString& runtime_folder = {}, const QString& output_file = {});

// Starts talvo4ctl and leaves it running, for tests that interrupt it.
class RunningCtl {
  public:
    explicit RunningCtl(const QStringList& arguments, const QString& runtime_folder = {},
                        const QString& output_file = {});
    ~RunningCtl();
    qint64 pid() const { return process_.processId(); }
    // Ends it at once, as SIGKILL does: it has no say.
    void kill();
    // Reads standard error until it holds `text` or `limit_ms` pass.
    bool waitForError(const QByteArray& text, int limit_ms = 30000);
    // Ctrl+C, as a terminal sends it.
    void interrupt();
    // Waits for the end, reading everything; kills it after `limit_ms`.
    CtlRun finish(int limit_ms = 60000);

  private:
    QTemporaryDir own_runtime_folder_;
    QProcess process_;
    QByteArray err_;
};

// The path of the built program.
QString CtlPath();

}  // namespace talvo::testing
