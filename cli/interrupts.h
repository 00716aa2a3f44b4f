#pragma once
// Ctrl+C as the operations want it: counted, never breaking a device read.
// SIGINT is blocked in every thread and taken by one thread of its own, so
// no wait on the device returns early with EINTR (which hidapi would report
// as a failed read, that is, a lost device).

#include <atomic>
#include <chrono>
#include <functional>

#include "device/sequence.h"

namespace talvo::cli {

class Interrupts {
  public:
    // How often Ctrl+C was pressed so far.
    int presses() const { return presses_.load(std::memory_order_relaxed); }
    void press() { presses_.fetch_add(1, std::memory_order_relaxed); }

    // The pacer every command lends its sequence: ticks of `tick` slept
    // through, the front end gone at a second Ctrl+C (a first one is the
    // command's own stop request, or goes unheeded), and `on_pass` in each
    // turn between two reports.
    SleepingPacer pacer(std::chrono::milliseconds tick, std::function<void()> on_pass = {}) const {
        return SleepingPacer(
            tick, [this] { return presses() > 1; }, std::move(on_pass));
    }

    // Call first thing in main, before any thread exists: blocks SIGINT and
    // starts the thread that counts it into `interrupts`.
    static void CatchInto(Interrupts& interrupts);

  private:
    std::atomic<int> presses_{0};
};

}  // namespace talvo::cli
