#include "remote/key_button.h"

#include <QPainter>

#include "remote/key_pictures.h"

namespace talvo {

KeyButton::KeyButton(const RemoteKey& key, QWidget* parent) : QPushButton(parent), key_(key) {
    setFlat(true);
    setIconSize(QSize(key.picture_width, key.picture_height));
}

QPixmap KeyButton::picture() const {
    const qreal ratio = devicePixelRatioF();
    QPixmap& cached = isDown() ? down_ : up_;
    if (cached.isNull() || !qFuzzyCompare(cached.devicePixelRatio(), ratio))
        cached = DrawKeyPicture(key_, ratio, isDown() ? KeyFace::Pressed : KeyFace::Up);
    return cached;
}

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPixmap face = picture();
    // A picture larger than its button (Command30) shows its middle.
    const QSizeF size = face.deviceIndependentSize();
    painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), face);
    if (hasFocus()) {
        // A light dotted frame: the keys are dark, and Tab must show where it went.
        painter.setPen(QPen(QColor(255, 225, 130), 1, Qt::DotLine));
        painter.drawRect(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
}

}  // namespace talvo
