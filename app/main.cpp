// The TALVO-4 tool: no command line (but --help, --version and --record), no
// settings, no environment variables.

#include <QApplication>
#include <cstdio>

#include "app/main_window.h"
#include "app/start_up.h"
#include "device/hidapi_platform.h"
#include "device/recording_platform.h"

int main(int argc, char** argv) {
    std::string record_path;
    if (const auto status = talvo::AnswerCommandLine(argc, argv, "talvo4", &record_path))
        return *status;
    talvo::HidapiPlatform hidapi;
    // --record: the session goes to a file as well, for a problem report.
    std::unique_ptr<talvo::RecordingPlatform> recording;
    if (!record_path.empty()) {
        std::string error;
        recording = talvo::RecordingPlatform::Create(hidapi, record_path,
                                                     talvo::VersionLine("talvo4"), {}, error);
        if (!recording) {
            std::fprintf(stderr, "talvo4: %s\n", error.c_str());
            return 2;
        }
    }
    talvo::HidPlatform& platform =
        recording ? *recording : static_cast<talvo::HidPlatform&>(hidapi);
    // The tool takes no command line: not even the toolkit's own options.
    int no_arguments = argc > 0 ? 1 : 0;
    QApplication app(no_arguments, argv);
    talvo::PrepareApplication(app);
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs, &platform);
    talvo::MainWindow window(program);
    // After the look at start-up, so that it stays as it always was.
    window.followDevice(platform.monitor());
    window.show();
    return app.exec();
}
