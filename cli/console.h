#pragma once
// Where talvo4ctl writes: results on standard output, everything else on
// standard error, UTF-8 both. With --json the results' sentences stay
// unprinted (their facts go into the one object at the end), and the errors
// said are kept for it.

#include <QString>
#include <cstdio>

namespace talvo::cli {

class Console {
  public:
    Console(FILE* out, FILE* err, bool quiet, bool json = false);

    // A result: what a script reads. Not printed with --json.
    void out(const QString& line);
    // A problem; shown even with --quiet, and kept for --json.
    void error(const QString& line);
    // What a person must hear even with --quiet, though nothing failed.
    void warn(const QString& line);
    // What goes on and how it went; --quiet silences it.
    void note(const QString& line);
    // Raw bytes on standard error (progress bars, trace), no newline added.
    void rawError(const QByteArray& bytes);
    // Raw bytes on standard output (a picture), flushed. False when they
    // could not all be written: a closed pipe or a full disk ends no
    // process here.
    bool rawOut(const QByteArray& bytes);

    bool quiet() const { return quiet_; }
    bool json() const { return json_; }
    // Every error said so far, one line each, without the last newline.
    const QString& errors() const { return errors_; }
    // Whether standard error is a terminal, so a bar can redraw in place.
    bool errorIsTerminal() const { return error_is_terminal_; }
    // Whether standard output is a terminal, where no picture goes.
    bool outputIsTerminal() const;

  private:
    FILE* out_;
    FILE* err_;
    bool quiet_;
    bool json_;
    bool error_is_terminal_;
    QString errors_;
};

}  // namespace talvo::cli
