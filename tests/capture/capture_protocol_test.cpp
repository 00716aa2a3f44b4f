// The plain arithmetic of a capture: size check, display set-up, status text,
// the stream decoder, where a plotted point lands, and the slot codes.

#include "tests/support/test_main.h"

#include "capture/capture_protocol.h"
#include "capture/picture_box.h"
#include "capture/slot_codes.h"
#include "tests/support/rig.h"

using namespace talvo;

class CaptureProtocolTest : public QObject {
    Q_OBJECT
  private slots:
    void sizeCheck_data();
    void sizeCheck();
    void everyWidthAndEveryHeightIsDecided();
    void displaySetUp_data();
    void displaySetUp();
    void penWidthIsTwoExactlyBelowHeight375();
    void pictureInfoText();
    void colourOrderIsReversedInTheBuffer();
    void pixelsPastFrameWidthAreDropped();
    void tailFromSourceWidthIsBlackened();
    void pointCover_data();
    void pointCover();
    void slotCodes_data();
    void slotCodes();
};

void CaptureProtocolTest::sizeCheck_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("transfer_width");
    QTest::addColumn<int>("frame_width");
    QTest::addColumn<int>("reports");

    QTest::newRow("640x480") << 640 << 480 << true << 640 << 640 << 30;
    QTest::newRow("1001 wide") << 1001 << 480 << true << 1024 << 1004 << 48;
    QTest::newRow("64 wide") << 64 << 480 << false << 0 << 0 << 0;
    QTest::newRow("65 wide") << 65 << 480 << true << 128 << 68 << 6;
    QTest::newRow("1984 wide") << 1984 << 480 << true << 1984 << 1984 << 93;
    QTest::newRow("1985 wide") << 1985 << 480 << false << 0 << 0 << 0;
    QTest::newRow("height 100") << 640 << 100 << false << 0 << 0 << 0;
    QTest::newRow("height 101") << 640 << 101 << true << 640 << 640 << 30;
    QTest::newRow("height 1299") << 640 << 1299 << true << 640 << 640 << 30;
    QTest::newRow("height 1300") << 640 << 1300 << false << 0 << 0 << 0;
    QTest::newRow("0x0") << 0 << 0 << false << 0 << 0 << 0;
    QTest::newRow("width high byte 0x80") << 0x8000 << 480 << false << 0 << 0 << 0;
    QTest::newRow("65535x65535") << 65535 << 65535 << false << 0 << 0 << 0;
    QTest::newRow("largest") << 1984 << 1299 << true << 1984 << 1984 << 93;
}

void CaptureProtocolTest::sizeCheck() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, accepted);
    const auto size = CheckPictureSize(uint16_t(width), uint16_t(height));
    QCOMPARE(size.has_value(), accepted);
    if (!accepted) return;
    QTEST(size->transfer_width, "transfer_width");
    QTEST(size->frame_width, "frame_width");
    QTEST(size->reportsPerLine(), "reports");
    QCOMPARE(int(size->source_width), width);
    QCOMPARE(size->frame_height, height);
}

void CaptureProtocolTest::everyWidthAndEveryHeightIsDecided() {
    // Along both axes, every value the answer can carry; the largest buffer
    // an accepted size can ask for stays small.
    int widths = 0;
    for (int w = 0; w <= 0xFFFF; ++w) {
        const auto size = CheckPictureSize(uint16_t(w), 480);
        if (!size) continue;
        ++widths;
        QVERIFY(size->frame_width % 4 == 0 && size->frame_width >= w);
        QVERIFY(size->transfer_width % 64 == 0 && size->transfer_width >= size->frame_width);
    }
    QCOMPARE(widths, 1984 - 65 + 1);
    int heights = 0;
    for (int h = 0; h <= 0xFFFF; ++h) heights += CheckPictureSize(1984, uint16_t(h)) ? 1 : 0;
    QCOMPARE(heights, 1299 - 101 + 1);
    QCOMPARE(CheckPictureSize(1984, 1299)->frameBytes(), int64_t{1984} * 1299 * 3);
}

void CaptureProtocolTest::displaySetUp_data() {
    QTest::addColumn<int>("frame_width");
    QTest::addColumn<int>("frame_height");
    QTest::addColumn<double>("width_twips");
    QTest::addColumn<double>("left_twips");
    QTest::addColumn<int>("pen_width");

    QTest::newRow("640x480") << 640 << 480 << 6000.0 << 2440.0 << 1;
    QTest::newRow("640x240 wider than the band") << 640 << 240 << 12000.0 << -560.0 << 2;
    QTest::newRow("1984x1299") << 1984 << 1299 << 4500.0 * 1984 / 1299
                               << 1440 + (8000 - 4500.0 * 1984 / 1299) / 2 << 1;
    QTest::newRow("1004x480 odd twips") << 1004 << 480 << 9412.5 << 733.75 << 1;
}

void CaptureProtocolTest::displaySetUp() {
    QFETCH(int, frame_width);
    QFETCH(int, frame_height);
    const DisplaySetup setup = SetUpDisplay(frame_width, frame_height);
    QTEST(setup.width_twips, "width_twips");
    QTEST(setup.left_twips, "left_twips");
    QTEST(setup.pen_width, "pen_width");
}

void CaptureProtocolTest::penWidthIsTwoExactlyBelowHeight375() {
    for (int h = 101; h < 1300; ++h) {
        for (int w : {68, 640, 1984}) {
            if (SetUpDisplay(w, h).pen_width != (h < 375 ? 2 : 1))
                QFAIL(qPrintable(QStringLiteral("%1 x %2").arg(w).arg(h)));
        }
    }
}

void CaptureProtocolTest::pictureInfoText() {
    const QString text = PictureInfoText(640, 480);
    QCOMPARE(text,
             QStringLiteral("画面情報：水平SIZE= 640dot , 垂直SIZE= 480dot , RGB\u300024bit"));
    QVERIFY(testing::EncodesInCp932(text));
    QCOMPARE(PictureInfoText(1984, 1299),
             QStringLiteral("画面情報：水平SIZE= 1984dot , 垂直SIZE= 1299dot , RGB\u300024bit"));
}

void CaptureProtocolTest::colourOrderIsReversedInTheBuffer() {
    std::vector<uint8_t> line(68 * 3, 0xEE);
    LineReportData data{};
    data[0] = 0x11;  // red of pixel 0
    data[1] = 0x22;
    data[2] = 0x33;
    data[63] = 0x44;  // red of pixel 21
    StoreLineReport(line, 0, data);
    QCOMPARE(line[0], uint8_t{0x33});
    QCOMPARE(line[1], uint8_t{0x22});
    QCOMPARE(line[2], uint8_t{0x11});
    QCOMPARE(line[21 * 3 + 2], uint8_t{0x44});
    QCOMPARE(line[21 * 3 + 1], uint8_t{0xEE});  // green of pixel 21 comes in the next report

    // The second report goes on with byte 64 of the stream: green, blue of pixel 21.
    LineReportData next{};
    next[0] = 0x55;
    next[1] = 0x66;
    StoreLineReport(line, 1, next);
    QCOMPARE(line[21 * 3 + 1], uint8_t{0x55});
    QCOMPARE(line[21 * 3 + 0], uint8_t{0x66});
}

void CaptureProtocolTest::pixelsPastFrameWidthAreDropped() {
    // Width 1001: 1004 pixels stored, the stream carries 1024 in 48 reports.
    const int frame_width = 1004;
    std::vector<uint8_t> buffer(size_t(frame_width) * 3 * 2, 0xAB);  // two lines
    std::span<uint8_t> first(buffer.data(), size_t(frame_width) * 3);
    LineReportData all{};
    all.fill(0x5A);
    for (int r = 0; r < 48; ++r) StoreLineReport(first, r, all);
    for (size_t i = 0; i < first.size(); ++i) QCOMPARE(first[i], uint8_t{0x5A});
    // Nothing of the dropped stream pixels spilled into the next line.
    for (size_t i = first.size(); i < buffer.size(); ++i) QCOMPARE(buffer[i], uint8_t{0xAB});
}

void CaptureProtocolTest::tailFromSourceWidthIsBlackened() {
    std::vector<uint8_t> line(1004 * 3, 0x77);
    BlackenLineTail(line, 1001);
    QCOMPARE(line[1000 * 3 + 2], uint8_t{0x77});
    for (size_t i = 1001 * 3; i < line.size(); ++i) QCOMPARE(line[i], uint8_t{0});
    // Nothing to blacken when the width is already a multiple of 4.
    std::vector<uint8_t> full(640 * 3, 0x77);
    BlackenLineTail(full, 640);
    QCOMPARE(full.back(), uint8_t{0x77});
}

void CaptureProtocolTest::pointCover_data() {
    QTest::addColumn<int>("unit");
    QTest::addColumn<int>("units");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("pen");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");

    // 640 units over 400 pixels: several points share a pixel.
    QTest::newRow("shrunk, first point") << 0 << 640 << 400 << 1 << 0 << 0;
    QTest::newRow("shrunk, second point shares") << 1 << 640 << 400 << 1 << 0 << 0;
    QTest::newRow("shrunk, last point") << 639 << 640 << 400 << 1 << 399 << 399;
    // 240 units over 300 pixels with pen 2: two pixels each, overlapping.
    QTest::newRow("enlarged, pen 2") << 0 << 240 << 300 << 2 << 0 << 1;
    QTest::newRow("enlarged, pen 2, fourth point") << 3 << 240 << 300 << 2 << 3 << 4;
    QTest::newRow("enlarged, pen 2, clipped at the edge") << 239 << 240 << 300 << 2 << 298 << 299;
    QTest::newRow("box narrower than a pixel") << 5 << 10 << 1 << 2 << 0 << 0;
    QTest::newRow("no scale") << 0 << 0 << 300 << 1 << 0 << -1;
}

void CaptureProtocolTest::pointCover() {
    QFETCH(int, unit);
    QFETCH(int, units);
    QFETCH(int, pixels);
    QFETCH(int, pen);
    const PixelSpan span = PointCover(unit, units, pixels, pen);
    QTEST(span.first, "first");
    QTEST(span.last, "last");
}

void CaptureProtocolTest::slotCodes_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("third");
    QTest::addColumn<int>("show");
    QTest::newRow("1") << 1 << 0xA0 << 0xC0 << 0x80 << 0xC0;
    QTest::newRow("2") << 2 << 0xA5 << 0xC5 << 0x85 << 0xC4;
    QTest::newRow("3") << 3 << 0xAA << 0xCA << 0x8A << 0xC8;
    QTest::newRow("4") << 4 << 0xAF << 0xCF << 0x8F << 0xCC;
}

void CaptureProtocolTest::slotCodes() {
    QFETCH(int, slot);
    const SlotCodes codes = CodesOfSlot(slot);
    QTEST(int(codes.record_first), "first");
    QTEST(int(codes.record_second), "second");
    QTEST(int(codes.record_third), "third");
    QTEST(int(codes.show), "show");
}

TALVO_TEST_MAIN(CaptureProtocolTest)
#include "capture_protocol_test.moc"
