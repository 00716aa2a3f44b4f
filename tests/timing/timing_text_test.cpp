// The timing parameters as the terminal tool reads and shows them.

#include "tests/support/test_main.h"

#include "timing/timing_parameters.h"
#include "timing/timing_text.h"

using namespace talvo;

class TimingTextTest : public QObject {
    Q_OBJECT
  private slots:
    void assignments_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");  // empty: refused
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << "h2pos=300"
                                 << "h2pos" << 300;
        QTest::newRow("any letter case, hex") << "H2Size=0x12C"
                                              << "h2size" << 300;
        QTest::newRow("top of a 12-bit range") << "pv1size=4095"
                                               << "pv1size" << 4095;
        QTest::newRow("top of an 8-bit range") << "clamp_width=255"
                                               << "clamp_width" << 255;
        QTest::newRow("a leading zero stays decimal") << "vsw=010"
                                                      << "vsw" << 10;
        QTest::newRow("zero") << "hst=0"
                              << "hst" << 0;
        QTest::newRow("12-bit past the top") << "pv1size=4096"
                                             << "" << 0;
        QTest::newRow("8-bit past the top") << "hsw=256"
                                            << "" << 0;
        QTest::newRow("negative") << "h2pos=-1"
                                  << "" << 0;
        QTest::newRow("plus sign") << "h2pos=+1"
                                   << "" << 0;
        QTest::newRow("huge") << "h2pos=99999999999"
                              << "" << 0;
        QTest::newRow("trailing space") << "h2pos=3 "
                                        << "" << 0;
        QTest::newRow("no value") << "h2pos="
                                  << "" << 0;
        QTest::newRow("bare hex prefix") << "h2pos=0x"
                                         << "" << 0;
        QTest::newRow("hex digits without prefix") << "h2pos=1f"
                                                   << "" << 0;
        QTest::newRow("no equals sign") << "h2pos"
                                        << "" << 0;
        QTest::newRow("no name") << "=5"
                                 << "" << 0;
        QTest::newRow("unknown name") << "h3pos=5"
                                      << "" << 0;
        QTest::newRow("the label, not the name") << "clamp width=5"
                                                 << "" << 0;
        QTest::newRow("two equals signs") << "h2pos=1=2"
                                          << "" << 0;
    }
    void assignments() {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(int, value);
        const TimingAssignmentParse parsed = ParseTimingAssignment(text);
        if (name.isEmpty()) {
            QVERIFY(!parsed.assignment);
            QVERIFY2(parsed.error.contains(text), qPrintable(parsed.error));
            return;
        }
        QVERIFY2(parsed.assignment, qPrintable(parsed.error));
        QCOMPARE(parsed.assignment->index, TimingParameterIndex(name.toStdString()));
        QCOMPARE(parsed.assignment->value, value);
    }

    void oneBadAssignmentRefusesThemAll() {
        std::vector<TimingAssignment> out{{0, 1}};
        const QString error = ParseTimingAssignments({"h2pos=1", "vsw=300", "hst=2"}, out);
        QVERIFY(error.contains(QStringLiteral("vsw=300")));
        QCOMPARE(out.size(), size_t(1));  // untouched
        QVERIFY(ParseTimingAssignments({"h2pos=1", "hst=2"}, out).isEmpty());
        QCOMPARE(out.size(), size_t(2));
        QCOMPARE(out[1].index, TimingParameterIndex("hst"));
        QCOMPARE(out[1].value, 2);
    }

    void renderingShowsEveryParameterAndTheBlock() {
        TimingState timing;
        timing.timing_base = 0x20;
        timing.timing_page = 0x5A;
        for (size_t i = 0; i < 80; ++i) timing.timing_image[i] = uint8_t(0xA0 + i);
        timing.timing_image[2] = 0x2C;  // h2pos 300
        timing.timing_image[4] = 0x01;
        timing.timing_image[62] = 0x34;  // pv1pos 0x1234, above its range
        timing.timing_image[64] = 0x12;
        const QStringList lines = RenderTimingState(timing).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1 + 14 + 1 + 10);
        QVERIFY(lines[0].contains(QStringLiteral("0x20")));
        QVERIFY(lines[0].contains(QStringLiteral("0x5a")));
        for (size_t i = 0; i < kTimingParameters.size(); ++i) {
            const QStringList words = lines[qsizetype(1 + i)].split(u' ', Qt::SkipEmptyParts);
            QVERIFY(words.size() >= 2);
            QCOMPARE(words[0], QString::fromLatin1(kTimingParameters[i].name.data()));
        }
        QCOMPARE(lines[1].split(u' ', Qt::SkipEmptyParts)[1], QStringLiteral("300"));
        const QString pv1pos = lines[qsizetype(1 + TimingParameterIndex("pv1pos"))];
        QVERIFY2(pv1pos.contains(QStringLiteral("4660")) && pv1pos.contains(QStringLiteral("4095")),
                 qPrintable(pv1pos));
        QCOMPARE(lines[16], QStringLiteral("00: a0 a1 2c a3 01 a5 a6 a7"));
        QCOMPARE(lines[25], QStringLiteral("72: e8 e9 ea eb ec ed ee ef"));
    }
};

TALVO_TEST_GUILESS_MAIN(TimingTextTest)
#include "timing_text_test.moc"
