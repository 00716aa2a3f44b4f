#include "remote/key_pictures.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "ui/ui_support.h"

namespace talvo {
namespace {

void DrawArrow(QPainter& painter, const QRectF& box, KeyGlyph glyph) {
    const QPointF c = box.center();
    const qreal r = std::min(box.width(), box.height()) * 0.28;
    QPolygonF shape;
    switch (glyph) {
        case KeyGlyph::ArrowUp:
            shape << QPointF(c.x(), c.y() - r) << QPointF(c.x() - r, c.y() + r * 0.7)
                  << QPointF(c.x() + r, c.y() + r * 0.7);
            break;
        case KeyGlyph::ArrowDown:
            shape << QPointF(c.x(), c.y() + r) << QPointF(c.x() - r, c.y() - r * 0.7)
                  << QPointF(c.x() + r, c.y() - r * 0.7);
            break;
        case KeyGlyph::ArrowLeft:
            shape << QPointF(c.x() - r, c.y()) << QPointF(c.x() + r * 0.7, c.y() - r)
                  << QPointF(c.x() + r * 0.7, c.y() + r);
            break;
        default:
            shape << QPointF(c.x() + r, c.y()) << QPointF(c.x() - r * 0.7, c.y() - r)
                  << QPointF(c.x() - r * 0.7, c.y() + r);
            break;
    }
    painter.drawPolygon(shape);
}

void DrawGlyph(QPainter& painter, const QRectF& box, const RemoteKey& key) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(245, 245, 250));
    const QPointF c = box.center();
    const qreal r = std::min(box.width(), box.height()) * 0.22;
    switch (key.glyph) {
        case KeyGlyph::Text: {
            painter.setPen(QColor(245, 245, 250));
            QFont font = UiFont(6.5);
            font.setBold(true);
            painter.setFont(font);
            painter.drawText(box, Qt::AlignCenter, QString::fromLatin1(key.label));
            break;
        }
        case KeyGlyph::Dot:
            painter.drawEllipse(c, r, r);
            break;
        case KeyGlyph::Plus:
            painter.drawRect(QRectF(c.x() - r * 1.5, c.y() - 1, r * 3, 2));
            painter.drawRect(QRectF(c.x() - 1, c.y() - r * 1.5, 2, r * 3));
            break;
        case KeyGlyph::Minus:
            painter.drawRect(QRectF(c.x() - r * 1.5, c.y() - 1, r * 3, 2));
            break;
        default:
            DrawArrow(painter, box, key.glyph);
            break;
    }
}

// An image of `size` logical pixels drawn at `ratio`: a painter on it
// works in logical pixels and lands on every device pixel.
QImage Canvas(QSize size, qreal ratio) {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    return image;
}

}  // namespace

QPixmap DrawKeyPicture(const RemoteKey& key, qreal device_pixel_ratio, KeyFace face) {
    QImage image = Canvas(QSize(key.picture_width, key.picture_height), device_pixel_ratio);
    // Outside the rounded face the group's own colour shows through.
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The face is the button's own size; the button shows the middle of a
    // larger picture, so the face sits in the middle too.
    const qreal top = (key.picture_height - key.height) / 2.0;
    const QRectF outline(0.5, top + 0.5, key.width - 1.0, key.height - 1.0);
    // Pressed, the light falls the other way and the glyph sinks by a pixel.
    const bool pressed = face == KeyFace::Pressed;
    QLinearGradient shade(outline.topLeft(), outline.bottomLeft());
    shade.setColorAt(0, pressed ? QColor(28, 31, 52) : QColor(86, 92, 128));
    shade.setColorAt(1, pressed ? QColor(64, 69, 104) : QColor(40, 44, 70));
    painter.setPen(pressed ? QColor(10, 11, 20) : QColor(25, 27, 45));
    painter.setBrush(shade);
    painter.drawRoundedRect(outline, 4, 4);
    DrawGlyph(painter, pressed ? outline.translated(1, 1) : outline, key);
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap DrawKeyPicture(const RemoteKey& key) {
    return DrawKeyPicture(key, qGuiApp->devicePixelRatio());
}

QPixmap DrawRemoteBackground(qreal device_pixel_ratio) {
    QImage image = Canvas(QSize(225, 579), device_pixel_ratio);
    QPainter painter(&image);
    QLinearGradient shade(0, 0, 0, 579);
    shade.setColorAt(0, QColor(112, 118, 161));
    shade.setColorAt(1, QColor(88, 94, 137));
    painter.fillRect(QRectF(0, 0, 225, 579), shade);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(70, 76, 115));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 221, 575), 14, 14);
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap DrawRemoteBackground() { return DrawRemoteBackground(qGuiApp->devicePixelRatio()); }

}  // namespace talvo
