#include "cli/console.h"

#include <unistd.h>

namespace talvo::cli {

Console::Console(FILE* out, FILE* err, bool quiet)
    : out_(out), err_(err), quiet_(quiet), error_is_terminal_(isatty(fileno(err)) == 1) {}

void Console::out(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out_);
    std::fflush(out_);
}

void Console::error(const QString& line) { rawError(line.toUtf8() + '\n'); }

void Console::note(const QString& line) {
    if (!quiet_) error(line);
}

void Console::rawError(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), err_);
    std::fflush(err_);
}

}  // namespace talvo::cli
