// talvo4ctl doctor over the real hidapi backend on umockdev's mocked
// hidraw nodes: which check fails first, and the one step it names. The
// rule folders and udev's database are folders of the test's own, logind a
// stand-in on a bus of the test's own; a missing logind must not keep a
// usable device from being reported usable.

#include <stdio.h>

#include <QDir>
#include <QJsonArray>
#include <QProcess>
#include <QTest>

#include "cli/commands.h"
#include "cli/doctor.h"
#include "device/hidapi_platform.h"
#include "packaging/udev_rule.h"
#include "sim/talvo_model.h"
#include "tests/device/mock_hidraw.h"
#include "tests/support/login1_stand_in.h"
#include "tests/support/no_override.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;

namespace {

MockInterface Interface(uint16_t product) {
    MockInterface interface = testing::MockTalvo("1-1", "hidraw0");
    interface.product = product;
    return interface;
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace

class DoctorHidrawTest : public QObject {
    Q_OBJECT
    std::unique_ptr<StandInSystemBus> bus_;

  private slots:
    void initTestCase() {
        QVERIFY2(MockHidraw::available(), "run this test under umockdev-wrapper");
        bus_ = std::make_unique<StandInSystemBus>();
        QVERIFY2(bus_->ok(), "no dbus-daemon with logind's stand-in");
    }
    void cleanupTestCase() { bus_.reset(); }

    void firstFailedCheckAndItsFix_data() {
        QTest::addColumn<uint16_t>("product");
        QTest::addColumn<QString>("node");  // "open", "denied", "held"
        QTest::addColumn<QString>("rule");  // "none", "installed", "applied"
        QTest::addColumn<bool>("logind");
        QTest::addColumn<int>("exit_code");
        QTest::addColumn<QString>("failed");  // the first failed check that blocks
        QTest::addColumn<QString>("fix");
        const uint16_t talvo = kTalvoProductId;
        QTest::newRow("present") << talvo << "open"
                                 << "none" << true << 0 << ""
                                 << "";
        QTest::newRow("present, no logind") << talvo << "open"
                                            << "none" << false << 0 << ""
                                            << "";
        QTest::newRow("no rule") << talvo << "denied"
                                 << "none" << true << 3 << "permission"
                                 << QStringLiteral("echo '") + QLatin1String(kUdevRule);
        QTest::newRow("no permission: rule not applied")
            << talvo << "denied"
            << "installed" << true << 3 << "permission"
            << QString::fromLatin1(kUdevRuleApplyCommand);
        QTest::newRow("no permission: no seat") << talvo << "denied"
                                                << "applied" << true << 3 << "permission"
                                                << "log in at this machine's own screen";
        QTest::newRow("in use") << talvo << "held"
                                << "none" << true << 3 << "free"
                                << "end that program first (kill ";
        QTest::newRow("no device") << uint16_t(0x0003) << "open"
                                   << "none" << true << 3 << "device"
                                   << "plug the TALVO-4 in";
    }
    void firstFailedCheckAndItsFix() {
        QFETCH(uint16_t, product);
        QFETCH(QString, node);
        QFETCH(QString, rule);
        QFETCH(bool, logind);
        QFETCH(int, exit_code);
        QFETCH(QString, failed);
        QFETCH(QString, fix);
        if (logind)
            bus_->use();
        else
            bus_->useNoBus();
        MockHidraw bed;
        const std::string path = bed.add(Interface(product));
        if (node == QLatin1String("denied")) QVERIFY(bed.denyAccess(path));
        // Another program holds the node's lock as talvo4 would: flock,
        // which speaks once it has it.
        QProcess other_program;
        if (node == QLatin1String("held")) {
            other_program.start(QStringLiteral("flock"),
                                {QStringLiteral("-no"), QString::fromStdString(path),
                                 QStringLiteral("-c"), QStringLiteral("echo; exec cat")});
            QVERIFY(other_program.waitForReadyRead());
        }

        QTemporaryDir folders;
        cli::DoctorPlaces places;
        places.rule_folders = {folders.filePath("rules.d")};
        places.udev_data = folders.filePath("data");
        places.display = QStringLiteral("DISPLAY=:0");
        QVERIFY(QDir().mkpath(places.rule_folders.front()) && QDir().mkpath(places.udev_data));
        if (rule != QLatin1String("none"))
            QVERIFY(
                WriteFile(QDir(places.rule_folders.front()).filePath(kUdevRuleName), kUdevRule));
        if (rule == QLatin1String("applied")) {
            QFile number(QStringLiteral("/sys/class/hidraw/hidraw0/dev"));
            QVERIFY(number.open(QIODevice::ReadOnly));
            QVERIFY(WriteFile(places.udev_data + "/c" + number.readAll().trimmed(),
                              "E:ID_VENDOR_ID=17a7\nG:uaccess\n"));
        }

        char* text = nullptr;
        size_t size = 0;
        FILE* out = open_memstream(&text, &size);
        int status = -1;
        QJsonObject object;
        {
            NoOverride as_a_user;
            QVERIFY(as_a_user.ok());
            cli::Console console(out, out, false);
            HidapiPlatform platform;
            cli::Session session(platform, {}, console);
            cli::Interrupts interrupts;
            cli::Context context{console, interrupts};
            status = cli::RunDoctor(session, context, places);
            object = context.report.object(status, console.errors());
        }
        fclose(out);
        const QString printed = QString::fromUtf8(text, qsizetype(size));
        free(text);
        QVERIFY2(status == exit_code, qPrintable(printed));
        QString first_failed, its_fix;
        for (const QJsonValue check : object.value("checks").toArray()) {
            const QString key = check["check"].toString();
            if (!check["ok"].toBool() && key != "logind" && first_failed.isEmpty()) {
                first_failed = key;
                its_fix = check["fix"].toString();
            }
        }
        QVERIFY2(first_failed == failed, qPrintable(printed));
        QCOMPARE(its_fix.left(fix.size()), fix);
        QVERIFY(printed.contains(logind ? QStringLiteral("✔ logind is there for the sleep lock")
                                        : QStringLiteral("✘ no sleep lock")));
        other_program.kill();
        other_program.waitForFinished();
    }
};

TALVO_TEST_GUILESS_MAIN(DoctorHidrawTest)
#include "doctor_hidraw_test.moc"
