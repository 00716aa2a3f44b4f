// Host cost of a capture against the simulated TALVO-4 answering at once,
// drawing included: per input report and per picture, for 640 x 480 and for
// the largest picture the size check takes, and the peak resident memory.
// Run with QT_QPA_PLATFORM=offscreen (set here when it is not set).

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

#include "app/main_window.h"
#include "capture/capture_protocol.h"
#include "capture/form5.h"
#include "sim/sim_platform.h"

namespace {

struct Figures {
    double per_picture_ms = 0;
    double per_report_us = 0;
    int64_t reports = 0;
};

Figures MeasureCapture(uint16_t width, uint16_t height, int rounds) {
    talvo::sim::TalvoModel talvo;
    talvo.capture.width = width;
    talvo.capture.height = height;
    talvo::sim::SimPlatform platform(talvo);
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs);
    talvo::MainWindow window(program);
    window.show();
    window.Command3_Click();
    talvo::Form5* form = window.captureWindow();

    const int64_t reports_per_picture =
        int64_t{height} * talvo::CheckPictureSize(width, height)->reportsPerLine();
    form->Command2_Click();  // warm-up: first allocations, first paint
    QElapsedTimer wall;
    wall.start();
    for (int round = 0; round < rounds; ++round) form->Command2_Click();
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    Figures figures;
    figures.reports = reports_per_picture;
    figures.per_picture_ms = seconds * 1e3 / rounds;
    figures.per_report_us = seconds * 1e6 / double(reports_per_picture * rounds);
    return figures;
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const long before = PeakResidentKiB();
    std::printf("peak resident before any capture: %.1f MB\n", double(before) / 1024.0);

    struct Case {
        uint16_t width, height;
        int rounds;
    };
    for (const Case& c : {Case{1984, 1299, 5}, Case{640, 480, 20}}) {
        const Figures f = MeasureCapture(c.width, c.height, c.rounds);
        std::printf("capture %ux%u: %lld reports a picture, %.2f ms a picture, %.3f us a report\n",
                    c.width, c.height, static_cast<long long>(f.reports), f.per_picture_ms,
                    f.per_report_us);
        if (c.width == 1984)
            std::printf("peak resident after the 1984x1299 captures: %.1f MB\n",
                        double(PeakResidentKiB()) / 1024.0);
    }
    return 0;
}
