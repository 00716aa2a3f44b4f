// Timing command layouts and the parameter bytes of the timing image, as
// plain functions without a window.

#include "tests/support/test_main.h"

#include "timing/timing_commands.h"
#include "timing/timing_parameters.h"

using namespace talvo;

Q_DECLARE_METATYPE(talvo::CommandArray)

namespace {

const TimingParameter& Parameter(const char* name) {
    return kTimingParameters[size_t(TimingParameterIndex(name))];
}

// Command bytes left over from some earlier command of another window.
constexpr CommandArray kLeftOver{0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8};

TimingState WorkedExample() {
    TimingState timing;
    timing.timing_base = 0x20;
    timing.timing_page = 0x5A;
    for (size_t i = 0; i < 80; ++i) timing.timing_image[i] = uint8_t(0xB0 + i);
    timing.timing_image[10] = 0x2C;  // h2size 300
    timing.timing_image[12] = 0x01;
    return timing;
}

}  // namespace

class TimingCommandsTest : public QObject {
    Q_OBJECT
  private slots:
    void layouts_data() {
        QTest::addColumn<CommandArray>("built");
        QTest::addColumn<CommandArray>("expected");
        const TimingState t = WorkedExample();
        auto build = [&t](auto set) {
            CommandArray bytes = kLeftOver;
            set(bytes, t);
            return bytes;
        };
        // Bytes a command does not use keep what was there before.
        QTest::newRow("mode enter")
            << build([](CommandArray& b, const TimingState&) { SetTimingMode(b, true); })
            << CommandArray{0x0F, 0x01, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8};
        QTest::newRow("mode leave")
            << build([](CommandArray& b, const TimingState&) { SetTimingMode(b, false); })
            << CommandArray{0x0F, 0x00, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8};
        QTest::newRow("read offset 0")
            << build([](CommandArray& b, const TimingState& s) { SetTimingRead(b, s, 0); })
            << CommandArray{0x10, 0x00, 0x20, 0x5A, 0xE5, 0xE6, 0xE7, 0xE8};
        QTest::newRow("read offset 72")
            << build([](CommandArray& b, const TimingState& s) { SetTimingRead(b, s, 72); })
            << CommandArray{0x10, 0x00, 0x68, 0x5A, 0xE5, 0xE6, 0xE7, 0xE8};
        QTest::newRow("write group 72")
            << build([](CommandArray& b, const TimingState& s) { SetTimingWrite(b, s, 72); })
            << CommandArray{0x11, 0x00, 0x68, 0x5A, 0xF8, 0xF9, 0xFA, 0xFB};
        QTest::newRow("write end group 72")
            << build([](CommandArray& b, const TimingState& s) { SetTimingWriteEnd(b, s, 72); })
            << CommandArray{0x12, 0x00, 0x68, 0x5A, 0xF8, 0xF9, 0xFA, 0xFB};
    }
    void layouts() {
        QFETCH(CommandArray, built);
        QFETCH(CommandArray, expected);
        QCOMPARE(built, expected);
    }

    // h2size moved from 300 to 301 with base 0x20 and page 0x5A.
    void workedExample() {
        TimingState t = WorkedExample();
        QVERIFY(StoreValue(t.timing_image, Parameter("h2size"), 301));
        QCOMPARE(t.timing_image[10], uint8_t(0x2D));
        QCOMPARE(t.timing_image[12], uint8_t(0x01));
        CommandArray bytes = kLeftOver;
        SetTimingWrite(bytes, t, 10);
        QCOMPARE(bytes, (CommandArray{0x11, 0x00, 0x2A, 0x5A, 0x2D, 0xBB, 0x01, 0xBD}));
        SetTimingWriteEnd(bytes, t, 10);
        QCOMPARE(bytes, (CommandArray{0x12, 0x00, 0x2A, 0x5A, 0x2D, 0xBB, 0x01, 0xBD}));
    }

    void reachableBases_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<bool>("reachable");
        QTest::newRow("0") << 0 << true;
        QTest::newRow("183: offset 72 lands on 255") << 183 << true;
        QTest::newRow("184: offset 72 would wrap to 0") << 184 << false;
        QTest::newRow("255") << 255 << false;
    }
    void reachableBases() {
        QFETCH(int, base);
        QFETCH(bool, reachable);
        QCOMPARE(TimingBlockReachable(uint8_t(base)), reachable);
    }

    void valueSplit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");  // -1: an 8-bit parameter has none
        QTest::newRow("12-bit 256") << "v2size" << 256 << 0x00 << 0x01;
        QTest::newRow("12-bit 4095") << "v2size" << 4095 << 0xFF << 0x0F;
        QTest::newRow("12-bit 255") << "pv1pos" << 255 << 0xFF << 0x00;
        QTest::newRow("12-bit 0") << "hst" << 0 << 0x00 << 0x00;
        QTest::newRow("8-bit 255") << "vsw" << 255 << 0xFF << -1;
    }
    void valueSplit() {
        QFETCH(QString, name);
        QFETCH(int, value);
        QFETCH(int, low);
        QFETCH(int, high);
        const TimingParameter& p = Parameter(name.toLatin1().constData());
        TimingImage image;
        image.fill(0x77);
        QVERIFY(StoreValue(image, p, value));
        const size_t k = size_t(p.offset);
        QCOMPARE(int(image[k]), low);
        QCOMPARE(int(image[k + 2]), high < 0 ? 0x77 : high);
        // The bytes between stay as they were; they belong to other things.
        QCOMPARE(image[k + 1], uint8_t(0x77));
        QCOMPARE(image[k + 3], uint8_t(0x77));
        QCOMPARE(ImageValue(image, p), value);
        // The same value again changes nothing, so nothing would be sent.
        QVERIFY(!StoreValue(image, p, value));
    }

    void eightBitValueIgnoresTheByteTwoFurther() {
        TimingImage image{};
        image[18] = 16;  // clamp_start
        image[20] = 48;  // clamp_width, two bytes further
        QCOMPARE(ImageValue(image, Parameter("clamp_start")), 16);
        QVERIFY(!StoreValue(image, Parameter("clamp_start"), 16));
        QVERIFY(StoreValue(image, Parameter("clamp_start"), 17));
        QCOMPARE(image[20], uint8_t(48));
    }

    void valuesAboveTheBarRange() {
        const TimingParameter& p = Parameter("h2pos");
        TimingImage image{};
        image[2] = 0xFF;
        image[4] = 0xFF;
        QCOMPARE(ImageValue(image, p), 65535);
        QCOMPARE(BarValue(image, p), 4095);
        QVERIFY(StandsForValueAboveRange(image, p, 4095));
        QVERIFY(!StandsForValueAboveRange(image, p, 4094));
        image[4] = 0x0F;  // 4095 itself is within range
        QVERIFY(!StandsForValueAboveRange(image, p, 4095));
    }

    // No two parameters may claim the same image byte, else moving one
    // bar would silently change another parameter.
    void parametersOwnDistinctBytesOfTheBlock() {
        std::array<int, 80> owner;
        owner.fill(-1);
        for (size_t i = 0; i < kTimingParameters.size(); ++i) {
            const TimingParameter& p = kTimingParameters[i];
            QVERIFY(p.offset + 3 < 76);  // the whole group lies in what a load writes
            for (int k : {p.offset, p.twelve_bit ? p.offset + 2 : p.offset}) {
                QVERIFY2(owner[size_t(k)] == -1 || owner[size_t(k)] == int(i), p.name.data());
                owner[size_t(k)] = int(i);
            }
        }
    }
};

TALVO_TEST_MAIN(TimingCommandsTest)
#include "timing_commands_test.moc"
