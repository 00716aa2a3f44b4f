#pragma once
// Catches what the code under test writes to standard error, at the file
// descriptor, so that lines written with stdio or by libraries count too.

#include <unistd.h>
#include <QStringList>
#include <QTemporaryFile>
#include <cstdio>

namespace talvo::testing {

class StderrCapture {
  public:
    StderrCapture() {
        if (!file_.open()) return;
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        if (saved_ >= 0 && dup2(file_.handle(), STDERR_FILENO) < 0) restore();
    }
    ~StderrCapture() { restore(); }
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    bool ok() const { return saved_ >= 0; }

    // Stops catching and returns the lines written meanwhile that start with `prefix`.
    QStringList lines(const QString& prefix) {
        restore();
        file_.seek(0);
        QStringList found;
        for (const QByteArray& line : file_.readAll().split('\n'))
            if (line.startsWith(prefix.toUtf8())) found << QString::fromUtf8(line);
        return found;
    }

  private:
    void restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, STDERR_FILENO);
        close(saved_);
        saved_ = -1;
    }

    QTemporaryFile file_;
    int saved_ = -1;
};

}  // namespace talvo::testing
