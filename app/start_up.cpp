#include "app/start_up.h"

#include <QIcon>

#include "app/caret_blink.h"
#include "ui/ui_support.h"

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

}  // namespace talvo
