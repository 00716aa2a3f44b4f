#include "device/sequence.h"

#include <thread>

#include "device/device_link.h"

namespace talvo {

std::optional<Ending> EndingOnTrouble(const DeviceLink& link, OnDeviceLost on_lost) {
    if (on_lost == OnDeviceLost::GoOn) return std::nullopt;
    if (link.writeFailed()) return Ending::WriteFailed;
    if (!link.deviceLost()) return std::nullopt;
    // A write or read that failed at once means the device is gone; reads
    // that only waited out their second leave it present but mute.
    const DeviceLink::Health& health = link.health();
    if (health.failed_writes_in_a_row > 0 || health.failed_reads_in_a_row > 0)
        return Ending::DeviceLost;
    return Ending::DeviceSilent;
}

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
