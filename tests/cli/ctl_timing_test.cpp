// talvo4ctl timing end to end on the simulated TALVO-4: each action enters
// and leaves timing mode, and writes exactly the groups it should.

#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

#include "sim/timing_model.h"
#include "tests/cli/ctl_runner.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using talvo::testing::CtlRun;
using talvo::testing::RunCtl;

namespace {

constexpr uint8_t kBase = 0x20;  // what the simulated device reports
constexpr uint8_t kPage = 0x5A;

QStringList Timing(QStringList words) {
    return QStringList{"--simulate", "--trace", "timing"} + words;
}

// The reports of one command byte, in order.
std::vector<QByteArray> OfCommand(const std::vector<QByteArray>& sent, uint8_t command) {
    std::vector<QByteArray> found;
    for (const QByteArray& report : sent)
        if (report.size() > 1 && uint8_t(report[1]) == command) found.push_back(report);
    return found;
}

// Enters timing mode and reads the block first; leaves it last.
void VerifyEntersAndLeaves(const std::vector<QByteArray>& sent) {
    QVERIFY(sent.size() >= 12);
    QCOMPARE(sent.front().mid(1, 2), QByteArray("\x0F\x01"));
    QCOMPARE(OfCommand(sent, 0x10).size(), size_t(10));
    QCOMPARE(sent.back().mid(1, 2), QByteArray("\x0F\x00", 2));
}

}  // namespace

class CtlTimingTest : public QObject {
    Q_OBJECT
  private slots:
    void showListsTheParametersAndTheBlock() {
        const CtlRun run = RunCtl(Timing({"show"}));
        QCOMPARE(run.exit_code, 0);
        VerifyEntersAndLeaves(run.sent());
        QVERIFY(OfCommand(run.sent(), 0x11).empty());
        const QString out = QString::fromUtf8(run.out);
        for (const char* line : {"h2pos          148", "clamp_width     48", "hst           1650",
                                 "pv1size        720", "00: a0 a1 94 a3 00 a5 24 a7"})
            QVERIFY2(out.contains(QLatin1String(line)), line);
    }

    void saveWritesTheImage() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ombrix3_syc1.bin"));
        const CtlRun run = RunCtl(Timing({"save", path}));
        QCOMPARE(run.exit_code, 0);
        VerifyEntersAndLeaves(run.sent());
        const auto block = talvo::sim::TimingModel::PlausibleBlock();
        QByteArray expected(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
        expected += QByteArray(257 - qsizetype(block.size()), '\0');
        QCOMPARE(talvo::testing::ReadFile(path), expected);
    }

    // Nineteen groups of the file's bytes, then one closing report with the
    // last group's bytes.
    void loadWritesTheFilesGroups() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("timing.bin"));
        QByteArray file(300, '\0');
        for (int i = 0; i < file.size(); ++i) file[i] = char(255 - i);
        QVERIFY(talvo::testing::WriteFile(path, file));
        const CtlRun run = RunCtl(Timing({"load", path}));
        QCOMPARE(run.exit_code, 0);
        const auto sent = run.sent();
        VerifyEntersAndLeaves(sent);
        const auto groups = OfCommand(sent, 0x11);
        QCOMPARE(groups.size(), size_t(19));
        for (int g = 0; g < 19; ++g) {
            const QByteArray& report = groups[size_t(g)];
            QCOMPARE(uint8_t(report[3]), uint8_t(kBase + 4 * g));
            QCOMPARE(uint8_t(report[4]), kPage);
            QCOMPARE(report.mid(5, 4), file.mid(4 * g, 4));
        }
        const auto ends = OfCommand(sent, 0x12);
        QCOMPARE(ends.size(), size_t(1));
        QCOMPARE(ends[0].mid(2), groups.back().mid(2));
    }

    // Each value as one group and its closing report; a value the device
    // already holds sends nothing.
    void setWritesOneGroupPerChange() {
        const CtlRun run = RunCtl(Timing({"set", "h2pos=301", "HSW=0x10", "vsw=5"}));
        QCOMPARE(run.exit_code, 0);
        const auto sent = run.sent();
        VerifyEntersAndLeaves(sent);
        const auto groups = OfCommand(sent, 0x11);
        QCOMPARE(groups.size(), size_t(2));
        // h2pos 301 = 0x012D: low byte at offset 2, high byte at offset 4.
        QCOMPARE(uint8_t(groups[0][3]), uint8_t(kBase + 2));
        QCOMPARE(uint8_t(groups[0][5]), 0x2D);
        QCOMPARE(uint8_t(groups[0][7]), 0x01);
        QCOMPARE(uint8_t(groups[1][3]), uint8_t(kBase + 48));
        QCOMPARE(uint8_t(groups[1][5]), 0x10);
        QCOMPARE(OfCommand(sent, 0x12).size(), size_t(2));
    }

    // --json: the parameters shown, saved or set, by the names set takes;
    // show adds the block as timing show prints it.
    void jsonResults_data() {
        QTest::addColumn<QStringList>("words");  // FILE: a file in a folder of its own
        QTest::addColumn<QByteArray>("facts");
        const auto plausible = talvo::sim::TimingModel::PlausibleBlock();
        const QByteArray block =
            QByteArray(reinterpret_cast<const char*>(plausible.data()), qsizetype(plausible.size()))
                .toHex();
        QTest::newRow("show") << QStringList{"show"}
                              << "{\"parameters\":{\"h2pos\":148,\"vsw\":5},\"block\":\"" + block +
                                     "\",\"file\":null}";
        QTest::newRow("save") << QStringList{"save", "FILE"}
                              << QByteArray(R"({"parameters":{"h2pos":148},"block":null})");
        QTest::newRow("set") << QStringList{"set", "h2pos=301", "vsw=5"}
                             << QByteArray(R"({"parameters":{"h2pos":301,"vsw":5,"hst":null},)"
                                           R"("unchanged":["vsw"]})");
    }
    void jsonResults() {
        QFETCH(QStringList, words);
        QFETCH(QByteArray, facts);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("timing.bin"));
        words.replaceInStrings(QStringLiteral("FILE"), path);
        const CtlRun run = RunCtl(QStringList{"--simulate", "--json", "timing"} + words);
        QCOMPARE(run.exit_code, 0);
        QJsonObject expected = QJsonDocument::fromJson(facts).object();
        if (words.size() == 2) expected.insert(QStringLiteral("file"), path);
        QVERIFY2(talvo::testing::Holds(run.object(), expected), run.out.constData());
    }

    // A base whose block addresses would not fit in a byte: timing mode is
    // still left, exit 1.
    void baseAbove183WritesNothing() {
        const CtlRun run =
            RunCtl(Timing({"set", "h2pos=1"}) + QStringList{"--simulate-fault", "timing-base:184"});
        QCOMPARE(run.exit_code, 1);
        QVERIFY(run.said(QStringLiteral("183")));
        QCOMPARE(run.sent().back().mid(1, 2), QByteArray("\x0F\x00", 2));
    }

    // The mode's answer comes after the wait: nothing is written, timing
    // mode is left, and the words name the one missing answer, not what the
    // leave's own exchange left behind.
    void lateModeAnswerWritesNothing() {
        const CtlRun run = RunCtl(Timing({"set", "h2pos=300"}) +
                                  QStringList{"--simulate-fault", "answer-delay:1100"});
        QCOMPARE(run.exit_code, 4);
        QVERIFY2(run.said(QStringLiteral("gave no answer within 1000 ms")), run.err.constData());
        QCOMPARE(run.sent().size(), size_t{2});
        QCOMPARE(run.sent().back().mid(1, 2), QByteArray("\x0F\x00", 2));
    }

    void lostDeviceDuringTheReadBack() {
        const CtlRun run =
            RunCtl(Timing({"show"}) + QStringList{"--simulate-fault", "vanish-after:4"}, 20000);
        QCOMPARE(run.exit_code, 4);
        QVERIFY(run.said(QStringLiteral("vanished")));
        QVERIFY(run.out.isEmpty());
    }
};

TALVO_TEST_GUILESS_MAIN(CtlTimingTest)
#include "ctl_timing_test.moc"
