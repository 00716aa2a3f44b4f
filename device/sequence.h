#pragma once
// What a front end lends a device sequence: how its waits are spent, and
// whether it should go on. The sequences themselves (the capture, the ROM
// write, the timing read-back ...) know nothing of windows or terminals.

#include <chrono>
#include <functional>

namespace talvo {

class Pacer {
  public:
    virtual ~Pacer() = default;
    // Spends a wait of `ticks` ticks of the clock the sequence counts in.
    // False when the sequence must end at once: its front end is gone (a
    // window closed, the program ends, a second Ctrl+C).
    virtual bool waitTicks(int ticks) = 0;
    // The front end's turn between two reports: the windows handle the
    // events that are waiting, a terminal may draw its progress. False as
    // for waitTicks.
    virtual bool pass() = 0;
    // The time a sequence measures its own bounds by (how long the ROM
    // write polls for its checksum). Tests that drive a simulated clock
    // give their own.
    virtual std::chrono::steady_clock::time_point now() const {
        return std::chrono::steady_clock::now();
    }
};

// Asked where a sequence may end early at the user's wish (the capture's
// stop button, a first Ctrl+C); true: stop there, with the sequence's own
// closing steps.
using StopRequest = std::function<bool()>;

// Spends every tick asleep, for front ends without an event loop: a tick of
// the main window's clock is 10 ms, one of the capture window's 100 ms.
class SleepingPacer : public Pacer {
  public:
    explicit SleepingPacer(
        std::chrono::milliseconds tick, std::function<bool()> gone = [] { return false; },
        std::function<void()> on_pass = {});
    bool waitTicks(int ticks) override;
    bool pass() override;

  private:
    std::chrono::milliseconds tick_;
    std::function<bool()> gone_;
    std::function<void()> on_pass_;
};

inline constexpr std::chrono::milliseconds kMainTick{10};
inline constexpr std::chrono::milliseconds kCaptureTick{100};

}  // namespace talvo
