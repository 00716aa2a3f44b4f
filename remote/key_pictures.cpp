#include "remote/key_pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "app/ui_support.h"

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

}  // namespace

QPixmap DrawKeyPicture(const RemoteKey& key) {
    QImage image(key.picture_width, key.picture_height, QImage::Format_RGB888);
    image.fill(QColor(110, 122, 153));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The face is the button's own size; the button shows the middle of a
    // larger picture, so the face sits in the middle too.
    const qreal top = (key.picture_height - key.height) / 2.0;
    const QRectF face(0.5, top + 0.5, key.width - 1.0, key.height - 1.0);
    QLinearGradient shade(face.topLeft(), face.bottomLeft());
    shade.setColorAt(0, QColor(86, 92, 128));
    shade.setColorAt(1, QColor(40, 44, 70));
    painter.setPen(QColor(25, 27, 45));
    painter.setBrush(shade);
    painter.drawRoundedRect(face, 4, 4);
    DrawGlyph(painter, face, key);
    painter.end();
    return QPixmap::fromImage(image);
}

QPixmap DrawRemoteBackground() {
    QImage image(225, 579, QImage::Format_RGB888);
    QPainter painter(&image);
    QLinearGradient shade(0, 0, 0, 579);
    shade.setColorAt(0, QColor(112, 118, 161));
    shade.setColorAt(1, QColor(88, 94, 137));
    painter.fillRect(image.rect(), shade);
    painter.setPen(QColor(70, 76, 115));
    painter.drawRoundedRect(QRectF(1.5, 1.5, 221, 575), 14, 14);
    painter.end();
    return QPixmap::fromImage(image);
}

}  // namespace talvo
