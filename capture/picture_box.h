#pragma once
// Picture1: a picture box with a user scale and a pen width, into which the
// capture plots one point per pixel. The points land in an image that the box
// paints from, so the drawing survives being covered and uncovered. The image
// has the screen's resolution: its size is the box's size times the device
// pixel ratio, and the scale and the pen work in its device pixels.

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <span>
#include <vector>

namespace talvo {

// The pixels a point of the given pen width covers along one axis: the
// point at unit u of a scale of `units` over `pixels` lies in pixel
// u * pixels / units, and a pen of width 2 adds the next pixel after it.
struct PixelSpan {
    int first = 0;
    int last = -1;  // empty when last < first
};
PixelSpan PointCover(int unit, int units, int pixels, int pen_width);

class PictureBox : public QWidget {
    Q_OBJECT
  public:
    explicit PictureBox(QWidget* parent);

    // The scale: units_across units from the left edge to the right, units_down
    // from the top edge to the bottom.
    void setScale(int units_across, int units_down);
    void setPenWidth(int pen_width);
    int penWidth() const { return pen_width_; }
    // Clears the box to its back colour at its present size and ratio.
    void clear();
    // Plots line y of a picture held blue, green, red (frame_width x 3 bytes):
    // the points are plotted from the left, each over what lies there already.
    void plotLine(int y, std::span<const uint8_t> line);

    // What the box shows, one pixel per device pixel (devicePixelRatio() says how many).
    const QImage& image() const { return image_; }
    static QColor BackColour() { return Qt::black; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void layOutColumns();
    int devicePenWidth() const;

    QImage image_;
    std::vector<PixelSpan> columns_;
    int units_across_ = 0;
    int units_down_ = 0;
    int pen_width_ = 1;
};

}  // namespace talvo
