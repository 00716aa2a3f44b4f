// At a desktop scale of 2 the windows keep their layout, and what they draw
// themselves (the remote's keys and background, the capture buttons'
// pictures, the captured picture) is drawn on every device pixel rather than
// enlarged from pictures of 96 dpi.

#include <QLabel>
#include <QPainter>
#include <QTest>
#include <QToolButton>

#include "capture/button_pictures.h"
#include "capture/form5.h"
#include "capture/picture_box.h"
#include "remote/form2.h"
#include "remote/key_button.h"
#include "remote/key_pictures.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::testing::Rig;

namespace {

constexpr qreal kRatio = 2.0;

// The picture as the box must show it: every point of frame_buffer plotted
// as a square of pen x ratio device pixels.
QImage PlotByPoints(const CaptureState& c, QSize device_size, int device_pen) {
    QImage image(device_size, QImage::Format_RGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    for (int y = 0; y < c.frame_height; ++y)
        for (int x = 0; x < c.frame_width; ++x) {
            const uint8_t* p = &c.frame_buffer[(size_t(y) * c.frame_width + x) * 3];
            painter.fillRect(int(int64_t{x} * device_size.width() / c.frame_width),
                             int(int64_t{y} * device_size.height() / c.frame_height), device_pen,
                             device_pen, QColor(p[2], p[1], p[0]));
        }
    return image;
}

// True when `sharp` is no more than `coarse` made twice as large.
bool IsEnlargement(const QImage& sharp, const QImage& coarse) {
    const QImage a = sharp.convertToFormat(QImage::Format_RGB32);
    for (Qt::TransformationMode mode : {Qt::FastTransformation, Qt::SmoothTransformation}) {
        QImage b = coarse.scaled(coarse.size() * 2, Qt::IgnoreAspectRatio, mode)
                       .convertToFormat(QImage::Format_RGB32);
        b.setDevicePixelRatio(a.devicePixelRatio());
        if (a == b) return true;
    }
    return false;
}

// True when `shown` (a button's device pixels) holds the middle of `picture`
// wherever the picture is opaque; elsewhere the group behind shows through.
bool Shows(const QImage& shown, const QImage& picture) {
    const QPoint middle((picture.width() - shown.width()) / 2,
                        (picture.height() - shown.height()) / 2);
    const QImage face = picture.convertToFormat(QImage::Format_ARGB32);
    const QImage screen = shown.convertToFormat(QImage::Format_ARGB32);
    int opaque = 0;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            const QRgb want = face.pixel(x + middle.x(), y + middle.y());
            if (qAlpha(want) != 255) continue;
            ++opaque;
            if (screen.pixel(x, y) != want) return false;
        }
    return opaque > screen.width() * screen.height() / 2;
}

}  // namespace

class Scale2Test : public QObject {
    Q_OBJECT
  private slots:
    void screenHasRatioTwo() { QCOMPARE(qGuiApp->devicePixelRatio(), kRatio); }

    void windowsKeepTheirLayout() {
        Rig rig;
        MainWindow& main = rig.main();
        main.Command2_Click();
        main.Command3_Click();
        QCOMPARE(main.size(), QSize(493, 126));
        QCOMPARE(main.remoteWindow()->size(), QSize(224, 579));
        QCOMPARE(main.captureWindow()->size(), QSize(636, 416));
        for (const RemoteKey& key : kRemoteKeys) {
            QPushButton* b = main.remoteWindow()->button(key.number);
            QCOMPARE(QRect(b->mapTo(main.remoteWindow(), QPoint()), b->size()),
                     QRect(key.x, key.y, key.width, key.height));
        }
        const QImage shot = main.remoteWindow()->grab().toImage();
        QCOMPARE(shot.size(), QSize(448, 1158));
        QCOMPARE(shot.devicePixelRatio(), kRatio);
    }

    void keysAreDrawnAtTheScreensResolution() {
        Rig rig;
        rig.main().Command2_Click();
        Form2* pad = rig.main().remoteWindow();
        for (const RemoteKey& key : kRemoteKeys) {
            const QString name = QStringLiteral("Command%1").arg(key.number);
            auto* b = qobject_cast<KeyButton*>(pad->button(key.number));
            QVERIFY2(b, qPrintable(name));
            const QSize picture(key.picture_width, key.picture_height);
            for (bool down : {false, true}) {
                b->setDown(down);
                const QPixmap face = b->picture();
                QCOMPARE(face.devicePixelRatio(), kRatio);
                QCOMPARE(face.size(), picture * 2);
                // What the button paints is that picture, pixel for pixel.
                const QImage shown = b->grab().toImage();
                QCOMPARE(shown.size(), b->size() * 2);
                QVERIFY2(Shows(shown, face.toImage()), qPrintable(name));
            }
            b->setDown(false);
            QVERIFY2(!IsEnlargement(DrawKeyPicture(key, kRatio).toImage(),
                                    DrawKeyPicture(key, 1).toImage()),
                     qPrintable(name));
        }
        auto* background = pad->findChild<QLabel*>(QStringLiteral("Picture1"));
        QCOMPARE(background->pixmap().devicePixelRatio(), kRatio);
        QCOMPARE(background->pixmap().size(), QSize(450, 1158));
        QVERIFY(!IsEnlargement(DrawRemoteBackground(kRatio).toImage(),
                               DrawRemoteBackground(1).toImage()));
    }

    void captureButtonsAreDrawnAtTheScreensResolution() {
        Rig rig;
        rig.main().Command3_Click();
        Form5* f = rig.main().captureWindow();
        for (int n = 2; n <= 5; ++n) {
            auto* b = f->findChild<QAbstractButton*>(QStringLiteral("Command%1").arg(n));
            QVERIFY(b);
            const QPixmap shown = b->icon().pixmap(QSize(64, 32), kRatio);
            QCOMPARE(shown.devicePixelRatio(), kRatio);
            QCOMPARE(shown.size(), QSize(128, 64));
        }
        for (auto picture : {CaptureButtonPicture::Capture, CaptureButtonPicture::Stop,
                             CaptureButtonPicture::Save, CaptureButtonPicture::Close}) {
            const QPixmap drawn = DrawButtonPicture(picture);
            QCOMPARE(drawn.devicePixelRatio(), kRatio);
            QCOMPARE(drawn.size(), QSize(128, 64));
            QVERIFY(!IsEnlargement(drawn.toImage(), DrawButtonPicture(picture, 1).toImage()));
        }
    }

    void capturedPictureIsPlottedAtTheScreensResolution_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("pen");
        QTest::addColumn<int>("box_width");
        QTest::newRow("640 x 480, pen 1") << 640 << 480 << 1 << 400;
        QTest::newRow("640 x 240, pen 2") << 640 << 240 << 2 << 800;
        QTest::newRow("68 x 101, gaps") << 68 << 101 << 2 << 202;
        QTest::newRow("1001 x 1299") << 1001 << 1299 << 1 << 232;
    }
    void capturedPictureIsPlottedAtTheScreensResolution() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, pen);
        QFETCH(int, box_width);
        Rig rig;
        rig.talvo.capture.width = uint16_t(width);
        rig.talvo.capture.height = uint16_t(height);
        rig.main().Command3_Click();
        Form5* f = rig.main().captureWindow();
        f->Command2_Click();
        QCOMPARE(f->Picture1->penWidth(), pen);
        QCOMPARE(f->Picture1->size(), QSize(box_width, 300));
        const QImage& image = f->Picture1->image();
        QCOMPARE(image.devicePixelRatio(), kRatio);
        QCOMPARE(image.size(), QSize(box_width, 300) * 2);
        QImage expected = PlotByPoints(rig.program.capture, image.size(), pen * 2);
        expected.setDevicePixelRatio(kRatio);
        QCOMPARE(image, expected);
        QCOMPARE(f->Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32), expected);
    }
};

TALVO_TEST_MAIN(Scale2Test)
#include "scale2_test.moc"
