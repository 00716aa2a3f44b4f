// What the tool costs while it waits for its user: the main, remote and
// capture windows open on the simulated device, the main window following
// udev's monitor as the tool does, and nothing happening for ten seconds.
// An idle tool should not wake up at all.
// Run with QT_QPA_PLATFORM=offscreen (or on a real X server).

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>

#include "app/main_window.h"
#include "app/start_up.h"
#include "bench/cpu_time.h"
#include "device/udev_hid.h"
#include "sim/sim_platform.h"

namespace {

using talvo::bench::CpuSeconds;

long Wakeups() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    talvo::PrepareApplication(app);
    talvo::sim::TalvoModel talvo;
    talvo::sim::SimPlatform platform(talvo);
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs);
    talvo::MainWindow window(program);
    // The simulated device comes and goes by no monitor: the system's is
    // the one the tool listens to.
    auto monitor = talvo::udev_hid::OpenHidrawMonitor();
    std::printf("udev monitor: %s\n", monitor ? "followed" : "none could be made");
    window.followDevice(std::move(monitor));
    window.show();
    window.Command2_Click();
    window.Command3_Click();

    // Two periods of ten seconds, after a second for the windows to settle
    // (first paints, the capture window's readiness check): in the first the
    // caret of the focused text box still blinks, in the second the user has
    // left the tool alone for longer than the caret blinks.
    struct Period {
        const char* what = "";
        double cpu_before = 0;
        long wakeups_before = 0;
        QElapsedTimer wall;
    };
    static Period periods[2];
    periods[0].what = "first 10 s after opening (caret blinking)";
    periods[1].what = "next 10 s (caret still)";
    constexpr int kSettleMs = 1000;
    constexpr int kPeriodMs = 10000;
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(kSettleMs + i * kPeriodMs, Qt::PreciseTimer, &app, [i] {
            periods[i].cpu_before = CpuSeconds();
            periods[i].wakeups_before = Wakeups();
            periods[i].wall.start();
        });
        QTimer::singleShot(kSettleMs + (i + 1) * kPeriodMs - 1, Qt::PreciseTimer, &app, [i, &app] {
            Period& p = periods[i];
            const double elapsed = double(p.wall.nsecsElapsed()) / 1e9;
            const double cpu = CpuSeconds() - p.cpu_before;
            std::printf(
                "idle, main, remote and capture windows open, %s: %.2f s wall, %.1f ms CPU, "
                "%.3f %% of one core, %ld context switches\n",
                p.what, elapsed, cpu * 1e3, 100.0 * cpu / elapsed, Wakeups() - p.wakeups_before);
            if (i == 1) app.quit();
        });
    }
    return app.exec();
}
