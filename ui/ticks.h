#pragma once
// The windows' tick counters: the main window's (advanced by its 10 ms Timer1,
// modulo 4096), which the timing window and the ROM write pace themselves by,
// and the capture window's own 100 ms one that "REC" waits on.

#include <QPointer>
#include <QTimer>
#include <chrono>
#include <functional>

#include "device/sequence.h"

namespace talvo {

// A clock a test drives in place of the timer: a wait then moves this clock
// on by its ticks instead of sleeping through them.
struct TickDriver {
    std::function<void(std::chrono::milliseconds)> sleep_for;
    std::function<std::chrono::steady_clock::time_point()> now;
};

class Ticks {
  public:
    static constexpr int kModulo = 4096;
    // The platform the device was built against raised timers at most every
    // 10 ms, so every wait the device has ever seen lasted n x 10 ms.
    static constexpr int kPeriodMs = int(kMainTick.count());

    explicit Ticks(std::chrono::milliseconds period = kMainTick) : period_(period) {}

    int TickCounter = 0;

    std::chrono::milliseconds period() const { return period_; }
    void advance() { TickCounter = (TickCounter + 1) % kModulo; }
    // The timer that advances TickCounter. It runs only while a WaitTicks
    // waits: nothing else reads the counter, and each wait resets it first,
    // so an idle tool need not wake up at all.
    void attachTimer(QTimer* timer) { timer_ = timer; }
    // Resets TickCounter and handles events, sleeping between them, until it
    // has reached n. Returns early when the program is ending.
    void WaitTicks(int n);
    // Waits in progress; a handler may wait inside another wait.
    int waiting() const { return waiting_; }

    // From now on the driver's clock, not the timer, counts the ticks.
    void driveBy(TickDriver driver) { driver_ = std::move(driver); }
    // The time bounds are measured by: the driver's, else the real one.
    std::chrono::steady_clock::time_point now() const {
        return driver_.now ? driver_.now() : std::chrono::steady_clock::now();
    }

  private:
    void waitDriven(int n);

    std::chrono::milliseconds period_;
    QPointer<QTimer> timer_;
    int waiting_ = 0;
    TickDriver driver_;
};

// Set when the main window closes: every waiting loop returns, and no window
// runs its own closing steps any more.
bool ProgramEnding();
void SetProgramEnding(bool ending);

// Handles the events that are waiting, once, without sleeping.
void ProcessPendingEvents();

}  // namespace talvo
