#include "app/start_up.h"

#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/caret_blink.h"
#include "ui/ui_support.h"

#ifndef TALVO_VERSION
#define TALVO_VERSION "unknown"
#endif

namespace talvo {

void PrepareApplication(QApplication& app) {
    app.setApplicationName(QStringLiteral("talvo4"));
    // Ties the windows to the installed desktop entry and its icon, so the
    // desktop's task list shows the tool's own name and picture.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.talvo4.Talvo4"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("org.talvo4.Talvo4")));
    app.setFont(UiFont(9));
    new CaretBlinkTimeout(&app);
}

std::string VersionLine(const char* program) { return std::string(program) + " " TALVO_VERSION; }

std::optional<int> AnswerCommandLine(int argc, char** argv, const char* program,
                                     std::string* record_path) {
    for (int i = 1; i < argc; ++i) {
        if (record_path && std::strcmp(argv[i], "--record") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "%s: --record needs a FILE\n", program);
                return 2;
            }
            *record_path = argv[++i];
            continue;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s\n", VersionLine(program).c_str());
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::printf(
                "Usage: %s\n"
                "\n"
                "The TALVO-4 companion tool in windows: remote control, picture capture and\n"
                "image slots. It takes no other command line and reads no settings.\n"
                "\n"
                "  --help         show this help and end\n"
                "  --version      show the version and end\n"
                "  --record FILE  write every report to and from the TALVO-4 into FILE (see\n"
                "                 talvo4ctl(1), RECORDINGS), to send with a problem report\n"
                "\n"
                "talvo4-demo opens the same windows on a simulated TALVO-4 and prints every\n"
                "report it receives; it takes --simulate-speed usb|instant (default usb:\n"
                "the link's real pace), --simulate-devices N and --simulate-reset as\n"
                "talvo4ctl does. talvo4ctl drives the device from a terminal or a\n"
                "script. See the manual pages talvo4(1) and talvo4ctl(1).\n",
                program);
            return 0;
        }
    }
    return std::nullopt;
}

}  // namespace talvo
