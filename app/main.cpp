// The TALVO-4 tool: no command line (but --help and --version), no settings, no
// environment variables.

#include <QApplication>

#include "app/main_window.h"
#include "app/start_up.h"
#include "device/hidapi_platform.h"

int main(int argc, char** argv) {
    if (const auto status = talvo::AnswerCommandLine(argc, argv, "talvo4")) return *status;
    // The tool takes no command line: not even the toolkit's own options.
    int no_arguments = argc > 0 ? 1 : 0;
    QApplication app(no_arguments, argv);
    talvo::PrepareApplication(app);
    talvo::HidapiPlatform platform;
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs, &platform);
    talvo::MainWindow window(program);
    window.show();
    return app.exec();
}
