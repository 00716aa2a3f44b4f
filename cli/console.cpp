#include "cli/console.h"

#include <signal.h>
#include <unistd.h>

namespace talvo::cli {

Console::Console(FILE* out, FILE* err, bool quiet, bool json)
    : out_(out),
      err_(err),
      quiet_(quiet),
      json_(json),
      error_is_terminal_(isatty(fileno(err)) == 1) {}

void Console::out(const QString& line) {
    if (json_) return;
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out_);
    std::fflush(out_);
}

void Console::error(const QString& line) {
    if (!errors_.isEmpty()) errors_ += QLatin1Char('\n');
    errors_ += line;
    rawError(line.toUtf8() + '\n');
}

void Console::warn(const QString& line) { rawError(line.toUtf8() + '\n'); }

void Console::note(const QString& line) {
    if (!quiet_) warn(line);
}

void Console::rawError(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err_);
    std::fflush(err_);
}

bool Console::rawOut(const QByteArray& bytes) {
    // A reader that went away would otherwise end the tool by SIGPIPE
    // before it could say that the picture did not get through.
    struct sigaction ignore = {};
    struct sigaction before = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &before);
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out_) == size_t(bytes.size()) &&
        std::fflush(out_) == 0 && !std::ferror(out_);
    sigaction(SIGPIPE, &before, nullptr);
    return written;
}

bool Console::outputIsTerminal() const { return isatty(fileno(out_)) == 1; }

}  // namespace talvo::cli
