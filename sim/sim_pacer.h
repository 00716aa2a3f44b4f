#pragma once
// A pacer for tests of the device sequences against the simulated device:
// every tick waited moves the device's clock on, so the waits a sequence
// counts and the time it measures its bounds by are those of the device.
// With a virtual clock nothing sleeps.

#include "device/sequence.h"
#include "sim/sim_clock.h"

namespace talvo::sim {

class SimPacer : public Pacer {
  public:
    explicit SimPacer(SimClock& clock, std::chrono::milliseconds tick = kMainTick)
        : clock_(clock), tick_(tick) {}

    bool waitTicks(int ticks) override {
        ++waits_;
        if (ticks > 0) clock_.sleepFor(ticks * tick_);
        return true;
    }
    bool pass() override {
        ++passes_;
        return true;
    }
    std::chrono::steady_clock::time_point now() const override { return clock_.now(); }

    int waits() const { return waits_; }
    int passes() const { return passes_; }

  private:
    SimClock& clock_;
    std::chrono::milliseconds tick_;
    int waits_ = 0;
    int passes_ = 0;
};

}  // namespace talvo::sim
