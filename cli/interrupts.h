#pragma once
// Ctrl+C as the operations want it: counted, never breaking a device read.
// SIGINT is blocked in every thread and taken by one thread of its own, so
// no wait on the device returns early with EINTR (which hidapi would report
// as a failed read, that is, a lost device).

#include <atomic>

namespace talvo::cli {

class Interrupts {
  public:
    // How often Ctrl+C was pressed so far.
    int presses() const { return presses_.load(std::memory_order_relaxed); }
    void press() { presses_.fetch_add(1, std::memory_order_relaxed); }

    // Call first thing in main, before any thread exists: blocks SIGINT and
    // starts the thread that counts it into `interrupts`.
    static void CatchInto(Interrupts& interrupts);

  private:
    std::atomic<int> presses_{0};
};

}  // namespace talvo::cli
