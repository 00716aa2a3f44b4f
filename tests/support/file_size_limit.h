#pragma once
// While a FileSizeLimit lives, files this process and the programs it starts
// write may grow to the given size only, and a write past it fails instead
// of ending the process, as under `ulimit -f` with SIGXFSZ ignored.

#include <signal.h>
#include <sys/resource.h>

namespace talvo::testing {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &before_);
        handler_before_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = before_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before_);
        signal(SIGXFSZ, handler_before_);
    }

  private:
    rlimit before_{};
    sighandler_t handler_before_ = SIG_DFL;
};

}  // namespace talvo::testing
