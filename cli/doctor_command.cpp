#include <grp.h>
#include <hidapi.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QtGlobal>

#include "cli/commands.h"
#include "cli/doctor.h"
#include "device/hidapi_node.h"
#include "device/report_descriptor.h"
#include "packaging/udev_rule.h"
#include "rom/sleep_inhibitor.h"

namespace talvo::cli {
namespace {

struct Check {
    QString key;  // the check's name in --json
    bool ok = true;
    QString text;
    QString fix;  // the one step that mends a failed check
    // A failed check that keeps the TALVO-4 from being used, and the reason
    // the tool then exits with.
    bool blocks = false;
    Reason reason = Reason::NoDevice;
};

Check Passed(const QString& key, const QString& text) { return {key, true, text, {}}; }

Check Failed(const QString& key, const QString& text, const QString& fix,
             std::optional<Reason> blocking = std::nullopt) {
    return {key, false, text, fix, blocking.has_value(), blocking.value_or(Reason::NoDevice)};
}

QString NodeName(const std::string& path) {
    return QString::fromStdString(path.substr(path.find_last_of('/') + 1));
}

bool RuleInstalled(const DoctorPlaces& places) {
    for (const QString& folder : places.rule_folders)
        if (QFile::exists(QDir(folder).filePath(QLatin1String(kUdevRuleName)))) return true;
    return false;
}

// Whether udev gave the node the uaccess tag, which is what the rule does.
bool RuleApplied(const DoctorPlaces& places, const QString& node) {
    QFile number(QDir(places.hidraw_class).filePath(node + QStringLiteral("/dev")));
    if (!number.open(QIODevice::ReadOnly)) return false;
    const QString device = QString::fromLatin1(number.readAll()).trimmed();
    QFile data(QDir(places.udev_data).filePath(QStringLiteral("c") + device));
    if (!data.open(QIODevice::ReadOnly)) return false;
    for (const QByteArray& line : data.readAll().split('\n'))
        if (line == "G:uaccess" || line == "Q:uaccess") return true;
    return false;
}

// The group the node lets read and write, where this user is not in it.
std::optional<QString> GroupMissing(const std::string& path) {
    struct stat node {};
    if (::stat(path.c_str(), &node) != 0) return std::nullopt;
    if ((node.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP)) return std::nullopt;
    if (node.st_gid == ::getegid()) return std::nullopt;
    gid_t groups[256];
    const int count = ::getgroups(256, groups);
    for (int i = 0; i < count; ++i)
        if (groups[i] == node.st_gid) return std::nullopt;
    const group* entry = ::getgrgid(node.st_gid);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(node.st_gid);
}

Check PermissionCheck(const ListedInterface& listed, const DoctorPlaces& places) {
    const QString key = QStringLiteral("permission");
    const QString path = QString::fromStdString(listed.path);
    if (listed.refusal == OpenRefusal::None || listed.refusal == OpenRefusal::Busy)
        return Passed(key, QStringLiteral("this user may open %1").arg(path));
    const QString replug = QStringLiteral("unplug the TALVO-4 and plug it in again");
    if (listed.refusal != OpenRefusal::NoPermission)
        return Failed(key,
                      QStringLiteral("%1 cannot be opened: %2")
                          .arg(path, Session::RefusalText(listed.refusal)),
                      replug, Reason::NoDevice);
    const QString refused = QStringLiteral("this user may not open %1: ").arg(path);
    if (!RuleInstalled(places))
        return Failed(
            key,
            refused +
                QStringLiteral("the udev rule %1 is missing").arg(QLatin1String(kUdevRuleName)),
            QString::fromStdString(UdevRuleInstallCommands()), Reason::NoPermission);
    if (!RuleApplied(places, NodeName(listed.path)))
        return Failed(key,
                      refused + QStringLiteral("the udev rule %1 is there, but was not applied "
                                               "to the node")
                                    .arg(QLatin1String(kUdevRuleName)),
                      QLatin1String(kUdevRuleApplyCommand), Reason::NoPermission);
    if (places.seat.isEmpty())
        return Failed(key,
                      refused + QStringLiteral("this login has no seat, and uaccess opens the "
                                               "device to the user at the seat only"),
                      QStringLiteral("log in at this machine's own screen and keyboard (not over "
                                     "ssh), then run talvo4ctl doctor again"),
                      Reason::NoPermission);
    if (const auto group = GroupMissing(listed.path))
        return Failed(
            key, refused + QStringLiteral("this user is not in the group %1").arg(*group),
            QStringLiteral("sudo usermod -aG %1 \"$USER\", then log in again").arg(*group),
            Reason::NoPermission);
    return Failed(key, refused + QStringLiteral("the node's permissions keep this user out"),
                  replug, Reason::NoPermission);
}

Check LengthsCheck(const ListedInterface& listed) {
    const QString key = QStringLiteral("report-lengths");
    auto caps = listed.capabilities;
    if (!caps)
        if (const auto bytes = hidapi_node::ReadDescriptor(listed.path))
            if (const auto parsed = ParseReportDescriptor(*bytes))
                caps = LongestReportLengths(*parsed);
    const QString report_it = QStringLiteral(
        "this is a TALVO-4 the tool does not know: attach the output of talvo4ctl doctor "
        "--json to an issue");
    if (!caps)
        return Failed(key, QStringLiteral("its report descriptor cannot be read or parsed"),
                      report_it, Reason::NoDevice);
    const QString lengths = QStringLiteral("input report %1 bytes, output report %2 bytes")
                                .arg(caps->InputReportByteLength)
                                .arg(caps->OutputReportByteLength);
    if (caps->OutputReportByteLength < 1 + CommandArray{}.size() || caps->InputReportByteLength < 2)
        return Failed(key, QStringLiteral("its descriptor gives %1: no command fits").arg(lengths),
                      report_it, Reason::NoDevice);
    return Passed(key, QStringLiteral("its descriptor gives %1").arg(lengths));
}

Check FreeCheck(Session& session, const ListedInterface& listed) {
    const QString key = QStringLiteral("free");
    const auto holder = session.holderOf(listed);
    if (!holder) return Passed(key, QStringLiteral("no other program holds it"));
    return Failed(key, QStringLiteral("it is %1").arg(QString::fromStdString(InUseText(*holder))),
                  holder->pid > 0
                      ? QStringLiteral("end that program first (kill %1)").arg(holder->pid)
                      : QStringLiteral("end the other program that has it open"),
                  Reason::Busy);
}

Check LogindCheck() {
    const QString key = QStringLiteral("logind");
    SleepInhibitor lock(QStringLiteral("talvo4ctl"), QStringLiteral("talvo4ctl doctor"));
    if (lock.held()) return Passed(key, QStringLiteral("logind is there for the sleep lock"));
    return Failed(key, QStringLiteral("no sleep lock: %1").arg(lock.failure()),
                  QStringLiteral("start systemd-logind, or keep the machine from sleeping "
                                 "yourself while a ROM write runs"));
}

Check DisplayCheck(const DoctorPlaces& places) {
    const QString key = QStringLiteral("display");
    if (!places.display.isEmpty())
        return Passed(key, QStringLiteral("a display for talvo4 (%1)").arg(places.display));
    return Failed(key,
                  QStringLiteral("no display for talvo4 (neither DISPLAY nor WAYLAND_DISPLAY is "
                                 "set)"),
                  QStringLiteral("start talvo4 from a desktop session; talvo4ctl needs none"));
}

QJsonObject Versions() {
    utsname system{};
    const QString kernel = ::uname(&system) == 0 ? QString::fromLatin1(system.release) : QString();
    return {{QStringLiteral("tool"), VersionText()},
            {QStringLiteral("qt"), QString::fromLatin1(qVersion())},
            {QStringLiteral("hidapi"), QString::fromLatin1(hid_version_str())},
            {QStringLiteral("kernel"), kernel}};
}

std::vector<Check> Checks(Session& session, const DoctorPlaces& places,
                          const QJsonObject& versions) {
    std::vector<Check> checks;
    if (QDir(places.hidraw_class).exists())
        checks.push_back(
            Passed(QStringLiteral("hidraw"), QStringLiteral("the hidraw driver is there")));
    else
        checks.push_back(
            Failed(QStringLiteral("hidraw"),
                   QStringLiteral("no hidraw driver (%1 is missing)").arg(places.hidraw_class),
                   QStringLiteral("sudo modprobe hidraw"), Reason::NoDevice));

    const auto listed = session.list();
    if (listed.empty()) {
        checks.push_back(Failed(
            QStringLiteral("device"),
            QStringLiteral("no TALVO-4 (no HID interface with vendor 0x17A7, product 0x0002)"),
            QStringLiteral("plug the TALVO-4 in (another cable or port if it is), then run "
                           "talvo4ctl doctor again"),
            Reason::NoDevice));
    } else {
        const ListedInterface& first = listed.front();
        QString port;
        for (const HidInterfaceInfo& info : session.describe())
            if (info.path == first.path) port = QString::fromStdString(info.port);
        checks.push_back(
            Passed(QStringLiteral("device"),
                   QStringLiteral("a TALVO-4, vendor 0x17A7 product 0x0002, at %1, USB port %2")
                       .arg(QString::fromStdString(first.path),
                            port.isEmpty() ? QStringLiteral("unknown") : port)));
        checks.push_back(LengthsCheck(first));
        checks.push_back(PermissionCheck(first, places));
        if (checks.back().ok) checks.push_back(FreeCheck(session, first));
    }
    checks.push_back(LogindCheck());
    checks.push_back(DisplayCheck(places));
    const auto version = [&versions](const char* key) {
        return versions.value(QLatin1String(key)).toString();
    };
    checks.push_back(
        Passed(QStringLiteral("versions"),
               QStringLiteral("%1, Qt %2, hidapi %3, kernel %4")
                   .arg(version("tool"), version("qt"), version("hidapi"), version("kernel"))));
    return checks;
}

class DoctorCommand : public Command {
  public:
    bool needsDevice() const override { return false; }
    int run(Session& session, Context& context) override {
        return RunDoctor(session, context, DoctorPlaces::OfThisSystem());
    }
};

}  // namespace

DoctorPlaces DoctorPlaces::OfThisSystem() {
    DoctorPlaces places;
    places.seat = qEnvironmentVariable("XDG_SEAT");
    for (const char* name : {"WAYLAND_DISPLAY", "DISPLAY"})
        if (const QString value = qEnvironmentVariable(name); !value.isEmpty())
            places.display = QString::fromLatin1(name) + QLatin1Char('=') + value;
    return places;
}

int RunDoctor(Session& session, Context& context, const DoctorPlaces& places) {
    const QJsonObject versions = Versions();
    QJsonArray checks;
    int status = kExitDone;
    for (const Check& check : Checks(session, places, versions)) {
        context.console.out((check.ok ? QStringLiteral("✔ ") : QStringLiteral("✘ ")) + check.text);
        QJsonObject object{{QStringLiteral("check"), check.key},
                           {QStringLiteral("ok"), check.ok},
                           {QStringLiteral("text"), check.text}};
        if (!check.ok) {
            context.console.out(QStringLiteral("    fix: ") + check.fix);
            object.insert(QStringLiteral("fix"), check.fix);
        }
        checks.append(object);
        if (check.blocks && status == kExitDone) {
            status = ExitCodeOf(check.reason);
            context.report.setReason(check.reason);
        }
    }
    context.report.insert(QStringLiteral("checks"), checks);
    context.report.insert(QStringLiteral("versions"), versions);
    return status;
}

Prepared PrepareDoctor(const QStringList& words, const DeviceChoice& device) {
    if (!words.isEmpty()) return UsageError(QStringLiteral("doctor takes no arguments"));
    if (device.simulate || !device.replay.isEmpty())
        return UsageError(
            QStringLiteral("doctor checks this system's TALVO-4: it takes no --simulate or "
                           "--replay"));
    return {std::make_unique<DoctorCommand>(), {}};
}

}  // namespace talvo::cli
