// The tool on the simulated TALVO-4. Prints every command report the device
// receives, one line of hex each. Developer shortcuts reach the two service
// functions the tool keeps hidden: Ctrl+T the timing window, Ctrl+R the ROM write.
// The device keeps the link's real pace unless --simulate-speed instant asks
// otherwise, so that a person sees what they will wait for on the device.

#include <QApplication>
#include <QShortcut>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "app/main_window.h"
#include "app/start_up.h"
#include "sim/simulated_devices.h"

namespace {

void PrintReport(const talvo::sim::RecordedReport& report) {
    for (size_t i = 0; i < report.bytes.size(); ++i)
        std::printf(i == 0 ? "%02X" : " %02X", report.bytes[i]);
    std::printf("\n");
    std::fflush(stdout);
}

struct DemoOptions {
    int devices = 1;
    talvo::sim::LinkSpeed speed = talvo::sim::LinkSpeed::Usb;
    bool afresh = false;
};

// The simulated devices' options; the rest is left to Qt. nullopt, said on
// standard error, for a value that does not do.
std::optional<DemoOptions> ReadOptions(int argc, char** argv) {
    DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (word == "--simulate-reset") {
            options.afresh = true;
        } else if (word == "--simulate-devices") {
            char* end = nullptr;
            const long count = std::strtol(value, &end, 10);
            if (end == value || *end != '\0' || count < 1 ||
                count > talvo::sim::SimulatedDevices::kMost) {
                std::fprintf(stderr, "talvo4-demo: --simulate-devices takes 1 to %d\n",
                             talvo::sim::SimulatedDevices::kMost);
                return std::nullopt;
            }
            options.devices = int(count);
            ++i;
        } else if (word == "--simulate-speed") {
            const auto speed = talvo::sim::LinkSpeedNamed(value);
            if (!speed) {
                std::fprintf(stderr, "talvo4-demo: --simulate-speed takes usb or instant\n");
                return std::nullopt;
            }
            options.speed = *speed;
            ++i;
        }
    }
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = talvo::AnswerCommandLine(argc, argv, "talvo4-demo")) return *status;
    const auto options = ReadOptions(argc, argv);
    if (!options) return 2;
    std::string why;
    // A second demo, or talvo4ctl --simulate, finds a device in use, as it
    // would the real one.
    const auto devices =
        talvo::sim::SimulatedDevices::Create(options->devices, options->speed, why);
    if (!devices) {
        std::fprintf(stderr, "talvo4-demo: the simulated TALVO-4 cannot be locked: %s\n",
                     why.c_str());
        return 1;
    }
    for (size_t i = 0; i < devices->size(); ++i) devices->device(i).on_report = PrintReport;
    talvo::sim::SimPlatform& platform = devices->platform();
    platform.on_notice = [](const std::string& line) {
        std::fprintf(stderr, "talvo4-demo: %s\n", line.c_str());
    };
    if (options->afresh) platform.startAfresh();
    QApplication app(argc, argv);
    talvo::PrepareApplication(app);
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs, &platform);
    talvo::MainWindow window(program);
    window.setWindowTitle(window.windowTitle() + QStringLiteral(" (demo)"));
    auto* timing = new QShortcut(QKeySequence(QStringLiteral("Ctrl+T")), &window);
    QObject::connect(timing, &QShortcut::activated, &window, &talvo::MainWindow::Command1_Click);
    auto* rom = new QShortcut(QKeySequence(QStringLiteral("Ctrl+R")), &window);
    QObject::connect(rom, &QShortcut::activated, &window, &talvo::MainWindow::Command10_Click);
    window.show();
    return app.exec();
}
