// The main window over the real hidapi backend, on a mocked hidraw node of a
// TALVO-4 that this user may not open: the same hint as on the simulated
// device. Runs under umockdev-wrapper, with root's file-access override
// dropped so that the node's permissions count.

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/main_window.h"
#include "app/texts.h"
#include "device/hidapi_platform.h"
#include "packaging/udev_rule.h"
#include "sim/talvo_model.h"
#include "tests/app/stderr_capture.h"
#include "tests/device/mock_hidraw.h"
#include "tests/support/no_override.h"
#include "tests/support/rig.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

namespace {}  // namespace

class NoPermissionHidrawTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
    }

    void lockedNodeIsExplained_data() {
        QTest::addColumn<bool>("locked");
        QTest::newRow("node without permission") << true;
        QTest::newRow("node open to this user") << false;
    }
    void lockedNodeIsExplained() {
        QFETCH(bool, locked);
        MockHidraw bed;
        const std::string node = bed.add(MockTalvo("1-1", "hidraw0"));
        if (locked) QVERIFY(bed.denyAccess(node));
        NoOverride as_a_user;
        QVERIFY(as_a_user.ok());

        HidapiPlatform platform;
        DeviceLink link(platform);
        ScriptedDialogs dialogs;
        Program program(link, dialogs, &platform);
        StderrCapture stderr_capture;
        QVERIFY(stderr_capture.ok());
        MainWindow w(program);
        const QStringList lines = stderr_capture.lines(QStringLiteral("talvo4:"));

        QCOMPARE(program.DeviceConnected, locked ? 0 : 1);
        QCOMPARE(w.Command2->isEnabled(), !locked);
        QCOMPARE(w.Text1->text(), locked ? texts::kNotConnected : texts::kConnected);
        QCOMPARE(w.Text1->toolTip() == texts::kNoPermissionHint, locked);
        QCOMPARE(w.Text1->accessibleDescription() == texts::kNoPermissionHint, locked);
        QCOMPARE(lines.size(), locked ? 1 : 0);
        if (locked) {
            QVERIFY2(lines.front().contains(QString::fromStdString(node + " ")),
                     qPrintable(lines.front()));
            QVERIFY(lines.front().endsWith(QString::fromStdString(UdevRuleInstallCommands())));
        }
        program.link.CloseDevice();
    }
};

TALVO_TEST_MAIN(NoPermissionHidrawTest)
#include "no_permission_hidraw_test.moc"
