#pragma once
// How the windows lend their waits to a device sequence: a wait of n ticks is
// WaitTicks on the main window's counter, and the turn between two reports is
// one pass of handling the events that are waiting. Either ends the sequence
// when the program is ending or the window that runs it has gone.

#include <functional>

#include "device/sequence.h"
#include "ui/ticks.h"

namespace talvo {

class TickPacer : public Pacer {
  public:
    TickPacer(Ticks& ticks, std::function<bool()> still_there)
        : ticks_(ticks), still_there_(std::move(still_there)) {}

    bool waitTicks(int ticks) override {
        ticks_.WaitTicks(ticks);
        return going();
    }
    bool pass() override {
        ProcessPendingEvents();
        return going();
    }
    std::chrono::steady_clock::time_point now() const override { return ticks_.now(); }

  private:
    bool going() const { return !ProgramEnding() && still_there_(); }

    Ticks& ticks_;
    std::function<bool()> still_there_;
};

}  // namespace talvo
