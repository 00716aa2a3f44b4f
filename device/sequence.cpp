#include "device/sequence.h"

#include <thread>

namespace talvo {

SleepingPacer::SleepingPacer(std::chrono::milliseconds tick, std::function<bool()> gone,
                             std::function<void()> on_pass)
    : tick_(tick), gone_(std::move(gone)), on_pass_(std::move(on_pass)) {}

bool SleepingPacer::waitTicks(int ticks) {
    // Sleep in single ticks, so that a front end that goes away is noticed
    // within one tick.
    for (int i = 0; i < ticks; ++i) {
        if (gone_()) return false;
        std::this_thread::sleep_for(tick_);
    }
    return pass();
}

bool SleepingPacer::pass() {
    if (on_pass_) on_pass_();
    return !gone_();
}

}  // namespace talvo
