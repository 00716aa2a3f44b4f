#include "capture/button_pictures.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

namespace talvo {
namespace {

const QColor kInk(40, 44, 70);

void DrawCamera(QPainter& painter) {
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(QColor(90, 100, 130));
    painter.drawRoundedRect(QRectF(18.5, 9.5, 28, 17), 3, 3);
    painter.drawRect(QRectF(24.5, 6.5, 8, 3));
    painter.setBrush(QColor(170, 200, 235));
    painter.drawEllipse(QPointF(32.5, 18), 6, 6);
    painter.setBrush(QColor(230, 80, 60));
    painter.drawEllipse(QPointF(42, 13), 1.5, 1.5);
}

void DrawStop(QPainter& painter) {
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(QColor(200, 50, 45));
    painter.drawRect(QRectF(22.5, 6.5, 19, 19));
}

void DrawDisk(QPainter& painter) {
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(QColor(60, 90, 160));
    QPainterPath body;
    body.moveTo(21.5, 4.5);
    body.lineTo(39.5, 4.5);
    body.lineTo(43.5, 8.5);
    body.lineTo(43.5, 27.5);
    body.lineTo(21.5, 27.5);
    body.closeSubpath();
    painter.drawPath(body);
    painter.setBrush(QColor(230, 230, 235));
    painter.drawRect(QRectF(25.5, 4.5, 12, 7));
    painter.drawRect(QRectF(24.5, 16.5, 16, 11));
}

void DrawDoor(QPainter& painter) {
    painter.setPen(QPen(kInk, 1.5));
    painter.setBrush(QColor(170, 120, 70));
    painter.drawRect(QRectF(20.5, 4.5, 16, 23));
    painter.setBrush(kInk);
    painter.drawEllipse(QPointF(33, 16), 1.3, 1.3);
    // The arrow out of the door.
    painter.setPen(QPen(QColor(30, 130, 60), 2.5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(38, 16), QPointF(48, 16));
    painter.drawLine(QPointF(44, 12), QPointF(48, 16));
    painter.drawLine(QPointF(44, 20), QPointF(48, 16));
}

}  // namespace

QPixmap DrawButtonPicture(CaptureButtonPicture picture) {
    return DrawButtonPicture(picture, qGuiApp->devicePixelRatio());
}

QPixmap DrawButtonPicture(CaptureButtonPicture picture, qreal device_pixel_ratio) {
    // The painter works in the picture's 64 x 32 logical pixels and lands on
    // every device pixel of the image.
    QImage image(QSize(kButtonPictureWidth, kButtonPictureHeight) * device_pixel_ratio,
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(device_pixel_ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    switch (picture) {
        case CaptureButtonPicture::Capture:
            DrawCamera(painter);
            break;
        case CaptureButtonPicture::Stop:
            DrawStop(painter);
            break;
        case CaptureButtonPicture::Save:
            DrawDisk(painter);
            break;
        case CaptureButtonPicture::Close:
            DrawDoor(painter);
            break;
    }
    painter.end();
    return QPixmap::fromImage(image);
}

}  // namespace talvo
