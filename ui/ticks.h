#pragma once
// The main window's tick counter (advanced by its 10 ms Timer1, modulo 4096)
// and the tick wait that the timing window and the ROM write pace themselves by.

#include <QPointer>

#include <QTimer>

namespace talvo {

class Ticks {
  public:
    static constexpr int kModulo = 4096;
    // The platform the device was built against raised timers at most every
    // 10 ms, so every wait the device has ever seen lasted n x 10 ms.
    static constexpr int kPeriodMs = 10;

    int TickCounter = 0;

    void advance() { TickCounter = (TickCounter + 1) % kModulo; }
    // The timer that advances TickCounter. It runs only while a WaitTicks
    // waits: nothing else reads the counter, and each wait resets it first,
    // so an idle tool need not wake up at all.
    void attachTimer(QTimer* timer) { timer_ = timer; }
    // Resets TickCounter and handles events, sleeping between them, until it
    // has reached n. Returns early when the program is ending.
    void WaitTicks(int n);

  private:
    QPointer<QTimer> timer_;
    int waiting_ = 0;  // waits in progress; a handler may wait inside another wait
};

// Set when the main window closes: every waiting loop returns, and no window
// runs its own closing steps any more.
bool ProgramEnding();
void SetProgramEnding(bool ending);

// Handles the events that are waiting, once, without sleeping.
void ProcessPendingEvents();

}  // namespace talvo
