#include "app/caret_blink.h"

#include <QApplication>
#include <QEvent>
#include <QStyleHints>

namespace talvo {

CaretBlinkTimeout::CaretBlinkTimeout(QObject* parent)
    : QObject(parent),
      flash_time_ms_(QGuiApplication::styleHints()->cursorFlashTime()),
      timeout_(this) {
    timeout_.setObjectName(QStringLiteral("caretBlinkTimeout"));
    timeout_.setSingleShot(true);
    timeout_.setInterval(kTimeoutMs);
    QObject::connect(&timeout_, &QTimer::timeout, this, [this] { setBlinking(false); });
    timeout_.start();
    qApp->installEventFilter(this);
}

bool CaretBlinkTimeout::blinking() const {
    return QGuiApplication::styleHints()->cursorFlashTime() > 0;
}

bool CaretBlinkTimeout::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::InputMethod:
            setBlinking(true);
            timeout_.start();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void CaretBlinkTimeout::setBlinking(bool on) {
    const int wanted = on ? flash_time_ms_ : 0;
    if (QGuiApplication::styleHints()->cursorFlashTime() != wanted)
        QApplication::setCursorFlashTime(wanted);
}

}  // namespace talvo
