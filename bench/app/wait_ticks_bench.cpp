// How much CPU a one-second WaitTicks costs: the wait must sleep between
// timer ticks, not spin a core. Run with QT_QPA_PLATFORM=offscreen.

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "app/main_window.h"
#include "sim/sim_platform.h"

namespace {
double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    talvo::sim::TalvoModel talvo;
    talvo::sim::SimPlatform platform(talvo);
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs);
    talvo::MainWindow window(program);

    for (int round = 0; round < 3; ++round) {
        QElapsedTimer wall;
        const double cpu_before = CpuSeconds();
        wall.start();
        program.ticks.WaitTicks(1000);
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = CpuSeconds() - cpu_before;
        std::printf("WaitTicks(1000): %.3f s wall, %.1f ms CPU, %.1f %% of one core\n", elapsed,
                    cpu * 1e3, 100.0 * cpu / elapsed);
    }
    return 0;
}
