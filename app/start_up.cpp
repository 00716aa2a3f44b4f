#include "app/start_up.h"

#include "app/caret_blink.h"
#include "app/ui_support.h"

namespace talvo {

void PrepareApplication(QApplication& app) {
    app.setApplicationName(QStringLiteral("talvo4"));
    app.setFont(UiFont(9));
    new CaretBlinkTimeout(&app);
}

}  // namespace talvo
