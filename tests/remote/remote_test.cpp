// The remote control: every button sends its key, one report and one read a click.

#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <set>

#include "remote/form2.h"
#include "remote/key_table.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using talvo::testing::Rig;

namespace {
Form2* OpenRemote(Rig& rig) {
    rig.main().Command2_Click();
    return rig.main().remoteWindow();
}
}  // namespace

class RemoteTest : public QObject {
    Q_OBJECT
  private slots:
    void everyKeySendsItsCode_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("code");
        QTest::addColumn<QRect>("geometry");
        // Position in the window's client area, size, and key code of every button.
        const struct {
            int button, x, y, w, h, code;
        } table[] = {
            {1, 8, 368, 41, 33, 0x05},    {2, 64, 368, 41, 33, 0x06},
            {3, 120, 368, 41, 33, 0x07},  {4, 176, 368, 41, 33, 0x18},
            {5, 67, 280, 41, 17, 0x40},   {6, 115, 280, 41, 17, 0x49},
            {8, 176, 336, 41, 17, 0x4E},  {9, 56, 536, 41, 17, 0x46},
            {10, 56, 496, 41, 17, 0x43},  {11, 120, 496, 41, 17, 0x44},
            {12, 176, 496, 41, 17, 0x45}, {13, 120, 536, 41, 17, 0x47},
            {16, 8, 496, 41, 17, 0x42},   {17, 72, 24, 41, 17, 0x01},
            {18, 8, 8, 49, 41, 0x00},     {19, 168, 24, 41, 17, 0x17},
            {20, 15, 152, 25, 25, 0x51},  {21, 95, 152, 41, 33, 0x0C},
            {22, 95, 192, 41, 33, 0x03},  {23, 95, 232, 41, 33, 0x10},
            {24, 39, 192, 41, 33, 0x08},  {25, 151, 192, 41, 33, 0x04},
            {26, 15, 240, 25, 25, 0x53},  {27, 191, 152, 25, 25, 0x52},
            {28, 191, 240, 25, 25, 0x54}, {29, 120, 24, 41, 17, 0x15},
            {30, 16, 72, 41, 17, 0x1B},   {31, 8, 336, 41, 17, 0x4B},
            {32, 64, 336, 41, 17, 0x4C},  {33, 120, 336, 41, 17, 0x4D},
            {35, 120, 72, 41, 17, 0x1E},  {36, 168, 72, 41, 17, 0x16},
        };
        for (const auto& row : table)
            QTest::addRow("Command%d", row.button)
                << row.button << row.code << QRect(row.x, row.y, row.w, row.h);
    }
    void everyKeySendsItsCode() {
        QFETCH(int, button);
        QFETCH(int, code);
        QFETCH(QRect, geometry);
        Rig rig;
        Form2* pad = OpenRemote(rig);
        QPushButton* b = pad->button(button);
        QVERIFY(b);
        QCOMPARE(b->objectName(), QStringLiteral("Command%1").arg(button));
        QCOMPARE(QRect(b->mapTo(pad, QPoint(0, 0)), b->size()), geometry);
        QVERIFY(!b->accessibleName().isEmpty());

        rig.link.CommandBytes = {0x11, 0x00, 0x2A, 0x5A, 1, 2, 3, 4};
        QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(rig.talvo.reports().size(), size_t(1));
        const std::vector<uint8_t> expected{0x00, 0x13, uint8_t(code), 0x2A, 0x5A, 1, 2, 3, 4};
        QCOMPARE(rig.talvo.reports().front().bytes, expected);
        // The answer was read: nothing is left queued.
        QCOMPARE(rig.talvo.queuedAnswers(), size_t(0));
    }

    void keyCodesAreDistinctAndThirtyTwo() {
        std::set<int> codes, numbers;
        for (const RemoteKey& key : kRemoteKeys) {
            codes.insert(key.code);
            numbers.insert(key.number);
        }
        QCOMPARE(codes.size(), size_t(32));
        for (int skipped : {7, 14, 15, 34}) QVERIFY(!numbers.count(skipped));
    }

    void twoQuickClicksSendTwoReports() {
        Rig rig;
        Form2* pad = OpenRemote(rig);
        pad->Command22_Click();
        pad->Command22_Click();
        const auto commands = rig.talvo.commands();
        QCOMPARE(commands.size(), size_t(2));
        QCOMPARE(commands[0], commands[1]);
        QCOMPARE(int(commands[0][1]), 3);
        QCOMPARE(rig.talvo.readsServed(), 2);
    }

    void windowLooksAsDrawn() {
        Rig rig;
        Form2* pad = OpenRemote(rig);
        QCOMPARE(pad->objectName(), QStringLiteral("Form2"));
        QCOMPARE(pad->windowTitle(), QStringLiteral("TALVO-4\u3000リモコン"));
        QCOMPARE(pad->size(), QSize(224, 579));
        QCOMPARE(pad->palette().color(QPalette::Window), QColor(100, 106, 149));
        QCOMPARE(pad->Command30->iconSize(), QSize(41, 33));
        QCOMPARE(pad->Command30->size(), QSize(41, 17));
        const auto groups = pad->findChildren<QGroupBox*>();
        QCOMPARE(groups.size(), 5);
        QStringList titles;
        for (auto* g : groups) titles << g->title();
        QVERIFY(titles.contains(QStringLiteral("モードセレクト")));
        QVERIFY(titles.contains(QStringLiteral("ホーム")));
    }

    void absentDeviceSendsNothing() {
        Rig rig(false);
        Form2 pad(rig.program);
        pad.Command1_Click();
        QVERIFY(rig.talvo.reports().empty());
    }
};

TALVO_TEST_MAIN(RemoteTest)
#include "remote_test.moc"
