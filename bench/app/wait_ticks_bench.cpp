// How long the main window's tick waits last, and what a wait costs: the
// device has only ever been paced by 10 ms ticks, so WaitTicks(2) and
// WaitTicks(3) must last about 20 and 30 ms, and a wait must sleep between
// ticks, not spin a core. Run with QT_QPA_PLATFORM=offscreen.

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "app/main_window.h"
#include "bench/cpu_time.h"
#include "sim/sim_platform.h"

namespace {

using talvo::bench::CpuSeconds;

void ReportWaitLengths(talvo::Ticks& ticks, int n) {
    constexpr int kWaits = 100;
    std::vector<double> lengths;
    for (int i = 0; i < kWaits; ++i) {
        QElapsedTimer wall;
        wall.start();
        ticks.WaitTicks(n);
        lengths.push_back(double(wall.nsecsElapsed()) / 1e6);
    }
    std::sort(lengths.begin(), lengths.end());
    std::printf("WaitTicks(%d) over %d waits: median %.1f ms, minimum %.1f ms, maximum %.1f ms\n",
                n, kWaits, lengths[lengths.size() / 2], lengths.front(), lengths.back());
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

    ReportWaitLengths(program.ticks, 2);
    ReportWaitLengths(program.ticks, 3);
    for (int round = 0; round < 3; ++round) {
        QElapsedTimer wall;
        const double cpu_before = CpuSeconds();
        wall.start();
        program.ticks.WaitTicks(100);
        const double elapsed = double(wall.nsecsElapsed()) / 1e9;
        const double cpu = CpuSeconds() - cpu_before;
        std::printf("WaitTicks(100): %.3f s wall, %.1f ms CPU, %.2f %% of one core\n", elapsed,
                    cpu * 1e3, 100.0 * cpu / elapsed);
    }
    return 0;
}
