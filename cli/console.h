#pragma once
// Where talvo4ctl writes: results on standard output, everything else on
// standard error, UTF-8 both.

#include <QString>
#include <cstdio>

namespace talvo::cli {

class Console {
  public:
    Console(FILE* out, FILE* err, bool quiet);

    // A result: what a script reads.
    void out(const QString& line);
    // A problem; shown even with --quiet.
    void error(const QString& line);
    // What goes on and how it went; --quiet silences it.
    void note(const QString& line);
    // Raw bytes on standard error (progress bars, trace), no newline added.
    void rawError(const QByteArray& bytes);

    bool quiet() const { return quiet_; }
    // Whether standard error is a terminal, so a bar can redraw in place.
    bool errorIsTerminal() const { return error_is_terminal_; }

  private:
    FILE* out_;
    FILE* err_;
    bool quiet_;
    bool error_is_terminal_;
};

}  // namespace talvo::cli
