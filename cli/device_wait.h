#pragma once
// Waiting for the TALVO-4's interfaces to change: on udev's word where there
// is a monitor, else by looking again now and then. Ctrl+C ends a wait
// within a tenth of a second.

#include <chrono>
#include <memory>
#include <vector>

#include "cli/interrupts.h"
#include "device/hid_monitor.h"

namespace talvo::cli {

class DeviceWait {
  public:
    using Clock = std::chrono::steady_clock;
    // Without a monitor, how long a wait lasts before the caller looks again.
    static constexpr std::chrono::milliseconds kLookWithoutMonitor{250};

    explicit DeviceWait(std::unique_ptr<HidMonitor> monitor) : monitor_(std::move(monitor)) {}

    bool hasMonitor() const { return monitor_ != nullptr; }
    enum class Woken { Changed, TimeUp, Interrupted };
    // Waits until the interfaces change (as far as can be known), `until`
    // has come, or Ctrl+C was pressed. What the monitor told goes into
    // `changes` where given (nothing, without a monitor).
    Woken wait(Clock::time_point until, const Interrupts& interrupts,
               std::vector<HidChange>* changes = nullptr);

  private:
    std::unique_ptr<HidMonitor> monitor_;
};

}  // namespace talvo::cli
