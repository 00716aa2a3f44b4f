#pragma once
// The simulated device's sense of time. By default it is the real clock and
// a wait sleeps; a test that must not spend real seconds (a device that falls
// silent costs a full second a read) makes it virtual: waiting then only moves
// the clock on, and SimPacer moves the same clock by the ticks a sequence
// waits.

#include <chrono>
#include <thread>

namespace talvo::sim {

using Clock = std::chrono::steady_clock;

class SimClock {
  public:
    // From now on time stands still except where it is waited out or
    // advanced. It starts at the real time of the call.
    void makeVirtual() {
        if (!virtual_) now_ = Clock::now();
        virtual_ = true;
    }
    bool isVirtual() const { return virtual_; }

    Clock::time_point now() const { return virtual_ ? now_ : Clock::now(); }
    void sleepUntil(Clock::time_point time) {
        if (!virtual_)
            std::this_thread::sleep_until(time);
        else if (time > now_)
            now_ = time;
    }
    void sleepFor(Clock::duration duration) { sleepUntil(now() + duration); }

  private:
    bool virtual_ = false;
    Clock::time_point now_{};
};

}  // namespace talvo::sim
