#pragma once
// Runs the built talvo4ctl as a script would, and reads what it sent from
// its --trace output.

#include <QByteArray>
#include <QProcess>
#include <QStringList>
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
};

// Runs talvo4ctl with `arguments`; kills it after `limit_ms`.
CtlRun RunCtl(const QStringList& arguments, int limit_ms = 60000);

// Starts talvo4ctl and leaves it running, for tests that interrupt it.
class RunningCtl {
  public:
    explicit RunningCtl(const QStringList& arguments);
    ~RunningCtl();
    // Reads standard error until it holds `text` or `limit_ms` pass.
    bool waitForError(const QByteArray& text, int limit_ms = 30000);
    // Ctrl+C, as a terminal sends it.
    void interrupt();
    // Waits for the end, reading everything; kills it after `limit_ms`.
    CtlRun finish(int limit_ms = 60000);

  private:
    QProcess process_;
    QByteArray err_;
};

// The path of the built program.
QString CtlPath();

}  // namespace talvo::testing
