#include <poll.h>

#include <algorithm>

#include "cli/device_wait.h"

namespace talvo::cli {
namespace {

// How long one poll lasts, so that a Ctrl+C (counted by a thread of its own)
// is noticed soon.
constexpr std::chrono::milliseconds kInterruptCheck{100};

}  // namespace

DeviceWait::Woken DeviceWait::wait(Clock::time_point until, const Interrupts& interrupts,
                                   std::vector<HidChange>* changes) {
    const Clock::time_point look_again =
        monitor_ ? until : std::min(until, Clock::now() + kLookWithoutMonitor);
    for (;;) {
        if (interrupts.presses() > 0) return Woken::Interrupted;
        const Clock::time_point now = Clock::now();
        if (now >= look_again) return look_again < until ? Woken::Changed : Woken::TimeUp;
        const auto slice = std::chrono::ceil<std::chrono::milliseconds>(
            std::min<Clock::duration>(look_again - now, kInterruptCheck));
        pollfd watched{monitor_ ? monitor_->descriptor() : -1, POLLIN, 0};
        if (::poll(&watched, 1, int(slice.count())) > 0 && (watched.revents & POLLIN) != 0) {
            // Only hidraw nodes are reported; any of them may be a TALVO-4.
            std::vector<HidChange> taken = monitor_->take();
            if (taken.empty()) continue;
            if (changes) *changes = std::move(taken);
            return Woken::Changed;
        }
    }
}

}  // namespace talvo::cli
