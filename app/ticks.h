#pragma once
// The main window's tick counter (advanced by its 1 ms Timer1, modulo 4096)
// and the tick wait that the timing window and the ROM write pace themselves by.

namespace talvo {

class Ticks {
  public:
    static constexpr int kModulo = 4096;

    int TickCounter = 0;

    void advance() { TickCounter = (TickCounter + 1) % kModulo; }
    // Resets TickCounter and handles events, sleeping between them, until it
    // has reached n. Returns early when the program is ending.
    void WaitTicks(int n);
};

// Set when the main window closes: every waiting loop returns, and no window
// runs its own closing steps any more.
bool ProgramEnding();
void SetProgramEnding(bool ending);

// Handles the events that are waiting, once, without sleeping.
void ProcessPendingEvents();

}  // namespace talvo
