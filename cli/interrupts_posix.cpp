#include "cli/interrupts.h"

#include <pthread.h>
#include <signal.h>

#include <thread>

namespace talvo::cli {

void Interrupts::CatchInto(Interrupts& interrupts) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([&interrupts, set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) == 0) interrupts.press();
        }
    }).detach();
}

}  // namespace talvo::cli
