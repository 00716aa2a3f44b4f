// The tool on the simulated TALVO-4. Prints every command report the device
// receives, one line of hex each. Developer shortcuts reach the two service
// functions the tool keeps hidden: Ctrl+T the timing window, Ctrl+R the ROM write.

#include <QApplication>
#include <QShortcut>
#include <cstdio>

#include "app/main_window.h"
#include "app/start_up.h"
#include "sim/sim_platform.h"

namespace {

void PrintReport(const talvo::sim::RecordedReport& report) {
    for (size_t i = 0; i < report.bytes.size(); ++i)
        std::printf(i == 0 ? "%02X" : " %02X", report.bytes[i]);
    std::printf("\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = talvo::AnswerCommandLine(argc, argv, "talvo4-demo")) return *status;
    QApplication app(argc, argv);
    talvo::PrepareApplication(app);
    talvo::sim::TalvoModel talvo;
    talvo.on_report = PrintReport;
    talvo::sim::SimPlatform platform(talvo);
    // A second demo, or talvo4ctl --simulate, finds it in use, as it would
    // the real one.
    platform.useLockFile(talvo::sim::SimPlatform::DefaultLockFile());
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
