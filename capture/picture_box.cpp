#include "capture/picture_box.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace talvo {

PixelSpan PointCover(int unit, int units, int pixels, int pen_width) {
    if (units <= 0 || pixels <= 0 || pen_width <= 0) return {};
    const int64_t at = int64_t{unit} * pixels / units;
    const int64_t first = std::max<int64_t>(at, 0);
    const int64_t last = std::min<int64_t>(at + pen_width - 1, pixels - 1);
    return {int(first), int(last)};
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    clear();
}

void PictureBox::setScale(int units_across, int units_down) {
    units_across_ = std::max(units_across, 0);
    units_down_ = std::max(units_down, 0);
    layOutColumns();
}

void PictureBox::setPenWidth(int pen_width) {
    pen_width_ = std::max(pen_width, 1);
    layOutColumns();
}

void PictureBox::clear() {
    // One image pixel per device pixel: on a high-resolution screen the
    // points land on the screen's own pixels instead of being enlarged.
    const qreal ratio = devicePixelRatioF();
    image_ =
        QImage(QSize(std::max(width(), 1), std::max(height(), 1)) * ratio, QImage::Format_RGB32);
    image_.setDevicePixelRatio(ratio);
    image_.fill(BackColour());
    layOutColumns();
    update();
}

int PictureBox::devicePenWidth() const {
    // A pen of one pixel covers a whole logical pixel, as a point does on a
    // screen of 96 dpi, so that a picture wider than the box shows no gaps.
    return std::max(1, int(std::ceil(pen_width_ * image_.devicePixelRatio() - 1e-6)));
}

void PictureBox::layOutColumns() {
    // Worked out once per scale, not once per point: every line plots the
    // same columns.
    columns_.resize(size_t(units_across_));
    for (int x = 0; x < units_across_; ++x)
        columns_[size_t(x)] = PointCover(x, units_across_, image_.width(), devicePenWidth());
}

void PictureBox::plotLine(int y, std::span<const uint8_t> line) {
    const PixelSpan rows = PointCover(y, units_down_, image_.height(), devicePenWidth());
    if (rows.last < rows.first) return;
    const size_t points = std::min(columns_.size(), line.size() / 3);
    for (int row = rows.first; row <= rows.last; ++row) {
        auto* pixels = reinterpret_cast<QRgb*>(image_.scanLine(row));
        for (size_t x = 0; x < points; ++x) {
            const uint8_t* bgr = &line[x * 3];
            const QRgb colour = qRgb(bgr[2], bgr[1], bgr[0]);
            const PixelSpan& cols = columns_[x];
            for (int col = cols.first; col <= cols.last; ++col) pixels[col] = colour;
        }
    }
    const qreal ratio = image_.devicePixelRatio();
    const int top = int(std::floor(rows.first / ratio));
    const int bottom = int(std::ceil((rows.last + 1) / ratio));
    update(QRect(0, top, width(), bottom - top));
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), BackColour());
    const QRect area = event->rect();
    const qreal ratio = image_.devicePixelRatio();
    painter.drawImage(
        QRectF(area), image_,
        QRectF(area.x() * ratio, area.y() * ratio, area.width() * ratio, area.height() * ratio));
}

}  // namespace talvo
