#pragma once
// What the sequence fuzz targets share: a simulated TALVO-4 whose every
// answer comes from the fuzz input, on a virtual clock (a read that waits
// out its second costs no real time), the device link over it, a log of the
// traffic. Their pacer is sim::SimPacer on the device's clock.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "device/device_link.h"
#include "sim/exchange_log.h"
#include "sim/sim_pacer.h"
#include "sim/sim_platform.h"

namespace talvo::fuzz {

// Ends the run as a finding, naming the check that failed.
inline void Check(bool holds, const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
    if (holds) return;
    std::fprintf(stderr, "check failed at %s:%d\n", file, line);
    std::abort();
}

// One device for the whole process, reset for every run: a fresh one costs
// more than most runs.
inline sim::TalvoModel& FreshDevice() {
    static sim::TalvoModel device;
    device.reset();
    return device;
}

// The fuzz input as the device's answers, from `script` on.
struct SequenceRig {
    explicit SequenceRig(std::span<const uint8_t> script) : device(FreshDevice()) {
        device.clock.makeVirtual();
        device.scriptAnswers([script, next = size_t{0}]() mutable -> std::optional<uint8_t> {
            if (next >= script.size()) return std::nullopt;
            return script[next++];
        });
        Check(link.FindDevice());
    }

    sim::TalvoModel& device;
    sim::SimPlatform platform{device};
    DeviceLink link{platform};
    sim::ExchangeLog log{device};
};

// Consecutive reads that waited out their wait, ending at log entry `end`
// (exclusive), not counting writes in between.
inline int SilentReadsBefore(const std::vector<sim::Exchange>& log, size_t end) {
    int silent = 0;
    for (size_t i = end; i-- > 0;) {
        if (!log[i].is_read) continue;
        if (log[i].outcome != ReadOutcome::TimedOut) break;
        ++silent;
    }
    return silent;
}

}  // namespace talvo::fuzz
