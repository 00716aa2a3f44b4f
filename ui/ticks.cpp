#include "ui/ticks.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace talvo {
namespace {
bool program_ending = false;
}

bool ProgramEnding() { return program_ending; }
void SetProgramEnding(bool ending) { program_ending = ending; }

void Ticks::WaitTicks(int n) {
    TickCounter = 0;
    ++waiting_;
    if (driver_.sleep_for) {
        waitDriven(n);
    } else {
        if (timer_ && !timer_->isActive()) timer_->start();
        // WaitForMoreEvents sleeps until the next timer tick or input event
        // instead of spinning a core.
        while (TickCounter < n && !ProgramEnding())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    // An outer wait, if any, still needs its ticks.
    if (--waiting_ == 0 && timer_) timer_->stop();
}

void Ticks::waitDriven(int n) {
    // Events still get their turn before every tick, as they would while the
    // timer ran; a handler's own wait inside this one resets the counter.
    ProcessPendingEvents();
    while (TickCounter < n && !ProgramEnding()) {
        driver_.sleep_for(period_);
        advance();
        ProcessPendingEvents();
    }
}

void ProcessPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace talvo
