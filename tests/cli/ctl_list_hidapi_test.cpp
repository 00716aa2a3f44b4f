// talvo4ctl through the real libhidapi-hidraw on umockdev-mocked hidraw
// nodes: the program inherits the mocked /sys and /dev from this test,
// which runs under umockdev-wrapper.

#include <sys/prctl.h>
#include <unistd.h>

#include <linux/capability.h>

#include "tests/support/test_main.h"

#include "device/device_link.h"
#include "packaging/udev_rule.h"
#include "sim/talvo_model.h"
#include "tests/cli/ctl_runner.h"
#include "tests/device/mock_hidraw.h"

using talvo::testing::CtlRun;
using talvo::testing::MockHidraw;
using talvo::testing::MockInterface;
using talvo::testing::MockTalvo;
using talvo::testing::RunCtl;

namespace {

MockInterface OtherProduct(const std::string& usb_name, const std::string& node) {
    MockInterface other = MockTalvo(usb_name, node);
    other.product = 0x0003;
    return other;
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

class CtlListHidapiTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
        // Root opens any file whatever its permissions. The programs this
        // test starts lose that for good, as a normal user never had it.
        if (geteuid() == 0) {
            QCOMPARE(prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0), 0);
            QCOMPARE(prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0), 0);
        }
    }

    // The locked node is named with its reason and the advice; the other
    // TALVO-4 with its report lengths; the other product not at all.
    void listsEachTalvoWithWhetherItOpens() {
        MockHidraw bed;
        const std::string other = bed.add(OtherProduct("1-1", "hidraw0"));
        const std::string locked = bed.add(MockTalvo("1-2", "hidraw1"));
        const std::string open = bed.add(MockTalvo("1-3", "hidraw2"));
        QVERIFY(bed.denyAccess(locked));

        const CtlRun run = RunCtl({"list"});
        QCOMPARE(run.exit_code, 0);
        const QString out = QString::fromUtf8(run.out);
        QVERIFY(out.contains(Q(locked) + "\tcannot be opened: no permission"));
        QVERIFY(out.contains(Q(open) + "\tinput report 65 bytes, output report 9 bytes"));
        QVERIFY(!out.contains(Q(other)));
        QVERIFY(run.said(Q(locked) + " is present, but this user may not open it"));
        QVERIFY(run.said(QString::fromLatin1(talvo::kUdevRulePath)));
        QCOMPARE(bed.opens(other), 0);
    }

    // Only a locked TALVO-4: every command says so and ends with exit 3,
    // having written nothing.
    void lockedDeviceIsExitThree() {
        MockHidraw bed;
        const std::string locked = bed.add(MockTalvo("1-1", "hidraw0"));
        QVERIFY(bed.denyAccess(locked));
        for (const QStringList& arguments : {QStringList{"list"}, QStringList{"key", "5"}}) {
            const CtlRun run = RunCtl(arguments);
            QCOMPARE(run.exit_code, 3);
            QVERIFY(run.said(Q(locked) + " is present, but this user may not open it"));
            QVERIFY(run.said(QStringLiteral("udevadm control --reload-rules")));
        }
        QVERIFY(bed.writes(locked).empty());
    }

    void noTalvoIsExitThree() {
        MockHidraw bed;
        bed.add(OtherProduct("1-1", "hidraw0"));
        const CtlRun run = RunCtl({"list"});
        QCOMPARE(run.exit_code, 3);
        QVERIFY(run.said(QStringLiteral("no TALVO-4 found")));
    }

    // A TALVO-4 without a report descriptor gives no report lengths: no
    // command fits, so it is no device to send to.
    void deviceWithoutReportLengthsIsExitThree() {
        MockHidraw bed;
        MockInterface bare = MockTalvo("1-1", "hidraw0");
        bare.descriptor.clear();
        const std::string node = bed.add(bare);
        const CtlRun run = RunCtl({"key", "5"});
        QCOMPARE(run.exit_code, 3);
        QVERIFY(run.said(QStringLiteral("report lengths no command fits in")));
        QVERIFY(bed.writes(node).empty());
    }

    // A key goes through hidapi to the node chosen with --device.
    void keyReachesTheChosenNode() {
        MockHidraw bed;
        const std::string first = bed.add(MockTalvo("1-1", "hidraw0"));
        const std::string second = bed.add(MockTalvo("1-2", "hidraw1"));
        const CtlRun run = RunCtl({"--device", Q(second), "key", "Command22"});
        QCOMPARE(run.exit_code, 0);
        QTRY_COMPARE_WITH_TIMEOUT(bed.writes(second).size(), size_t(1), 5000);
        QCOMPARE(bed.writes(second).front(),
                 (std::vector<uint8_t>{0x00, 0x13, 0x03, 0, 0, 0, 0, 0, 0}));
        QVERIFY(bed.writes(first).empty());
    }
};

TALVO_TEST_GUILESS_MAIN(CtlListHidapiTest)
#include "ctl_list_hidapi_test.moc"
