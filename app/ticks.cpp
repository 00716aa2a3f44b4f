#include "app/ticks.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace talvo {
namespace {
bool program_ending = false;
}

bool ProgramEnding() { return program_ending; }
void SetProgramEnding(bool ending) { program_ending = ending; }

void Ticks::WaitTicks(int n) {
    TickCounter = 0;
    // WaitForMoreEvents sleeps until the next timer tick or input event
    // instead of spinning a core.
    while (TickCounter < n && !ProgramEnding())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void ProcessPendingEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

}  // namespace talvo
