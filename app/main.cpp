// The TALVO-4 tool: no command line, no settings, no environment variables.

#include <QApplication>

#include "app/main_window.h"
#include "app/start_up.h"
#include "device/hidapi_platform.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    talvo::PrepareApplication(app);
    talvo::HidapiPlatform platform;
    talvo::DeviceLink link(platform);
    talvo::QtFileDialogs dialogs;
    talvo::Program program(link, dialogs);
    talvo::MainWindow window(program);
    window.show();
    return app.exec();
}
