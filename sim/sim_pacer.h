#pragma once
// A pacer for tests and fuzzers of the device sequences against the simulated
// device: every tick waited moves the device's clock on, so the waits a
// sequence counts and the time it measures its bounds by are those of the
// device. With a virtual clock nothing sleeps.
//
// Its front end may be made to go at a chosen turn, the way a window closes
// in the middle of a sequence; once gone it stays gone, as a closed window
// does.

#include <array>
#include <cstddef>
#include <functional>
#include <optional>

#include "device/sequence.h"
#include "sim/sim_clock.h"

namespace talvo::sim {

class SimPacer : public Pacer {
  public:
    // The turns a front end can be made to go at, counted from 1.
    enum class Turn { Wait, Pass, Either };

    explicit SimPacer(SimClock& clock, std::chrono::milliseconds tick = kMainTick)
        : clock_(clock), tick_(tick) {}

    bool waitTicks(int ticks) override {
        ++waits_;
        if (ticks > 0) clock_.sleepFor(ticks * tick_);
        if (on_turn) on_turn(ticks);
        return going(Turn::Wait);
    }
    bool pass() override {
        ++passes_;
        if (on_turn) on_turn(std::nullopt);
        return going(Turn::Pass);
    }
    std::chrono::steady_clock::time_point now() const override { return clock_.now(); }

    // The front end goes at the n-th turn of that kind (0: never for that
    // kind); each kind keeps its own turn, the first one reached counts.
    void leaveAt(Turn turn, int n) { gone_at_[size_t(turn)] = n; }

    int waits() const { return waits_; }
    int passes() const { return passes_; }

    // Told of every turn before it answers: the ticks of a wait, nullopt for
    // a pass.
    std::function<void(std::optional<int> ticks)> on_turn;

  private:
    bool going(Turn turn) {
        const auto reached = [this](Turn kind, int count) {
            return gone_at_[size_t(kind)] > 0 && count >= gone_at_[size_t(kind)];
        };
        gone_ = gone_ || reached(turn, turn == Turn::Wait ? waits_ : passes_) ||
                reached(Turn::Either, waits_ + passes_);
        return !gone_;
    }

    SimClock& clock_;
    std::chrono::milliseconds tick_;
    int waits_ = 0;
    int passes_ = 0;
    std::array<int, 3> gone_at_{};  // by Turn
    bool gone_ = false;
};

}  // namespace talvo::sim
