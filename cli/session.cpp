#include "cli/session.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "cli/field_kit.h"
#include "cli/simulation.h"
#include "cli/trace.h"
#include "device/hidapi_platform.h"
#include "device/passing_platform.h"
#include "packaging/udev_rule.h"

namespace talvo::cli {
namespace {

// Only the interface --device names, by its path or, as "usb:PORT", by the
// USB port it is plugged into; discovery then checks it is a TALVO-4.
class ChosenPlatform : public PassingPlatform {
  public:
    ChosenPlatform(HidPlatform& inner, const std::string& choice) : PassingPlatform(inner) {
        if (choice.starts_with(kPortPrefix))
            port_ = choice.substr(kPortPrefix.size());
        else
            path_ = choice;
    }

    std::vector<std::string> enumerate() override {
        std::vector<std::string> paths;
        for (HidInterfaceInfo& info : describe()) paths.push_back(std::move(info.path));
        return paths;
    }
    std::vector<HidInterfaceInfo> describe() override {
        std::vector<HidInterfaceInfo> list = inner().describe();
        std::erase_if(list, [this](const HidInterfaceInfo& info) { return !chosen(info); });
        chosen_paths_.clear();
        for (const HidInterfaceInfo& info : list) chosen_paths_.push_back(info.path);
        return list;
    }
    std::unique_ptr<HidConnection> open(const std::string& path) override {
        const bool chosen = port_.empty()
                                ? path == path_
                                : std::ranges::find(chosen_paths_, path) != chosen_paths_.end();
        return chosen ? inner().open(path) : nullptr;
    }

  private:
    static constexpr std::string_view kPortPrefix = "usb:";

    bool chosen(const HidInterfaceInfo& info) const {
        return port_.empty() ? info.path == path_ : info.port == port_;
    }

    std::string path_;
    std::string port_;
    // The interfaces at the port when last described.
    std::vector<std::string> chosen_paths_;
};

}  // namespace

Session::Session(const DeviceChoice& choice, Console& console)
    : choice_(choice), console_(console) {}

Session::Session(HidPlatform& platform, const DeviceChoice& choice, Console& console)
    : Session(choice, console) {
    build(platform);
}

Session::~Session() {
    // The link closes its handles before the platform under them goes.
    link_.reset();
}

std::unique_ptr<Session> Session::Create(const DeviceChoice& choice, Console& console) {
    std::unique_ptr<Session> session(new Session(choice, console));
    if (!choice.replay.isEmpty()) {
        session->field_kit_ = FieldKit::Replay(choice, console);
        if (!session->field_kit_ || !session->build(*session->field_kit_->replayPlatform()))
            return nullptr;
    } else if (choice.simulate) {
        QString error;
        session->simulation_ = Simulation::Create(choice, error);
        if (!session->simulation_) {
            console.error(QStringLiteral("talvo4ctl: ") + error);
            return nullptr;
        }
        session->simulation_->platform().on_notice = [&console](const std::string& line) {
            console.error(QStringLiteral("talvo4ctl: ") + QString::fromStdString(line));
        };
        if (!session->build(session->simulation_->platform())) return nullptr;
    } else {
        session->owned_ = std::make_unique<HidapiPlatform>();
        if (!session->build(*session->owned_)) return nullptr;
    }
    return session;
}

bool Session::build(HidPlatform& base) {
    platform_ = &base;
    if (!choice_.path.isEmpty()) {
        chosen_ = std::make_unique<ChosenPlatform>(*platform_, choice_.path.toStdString());
        platform_ = chosen_.get();
    }
    if (!choice_.record.isEmpty()) {
        if (!field_kit_) field_kit_ = std::make_unique<FieldKit>();
        platform_ = field_kit_->record(*platform_, choice_, console_);
        if (!platform_) return false;
    }
    if (choice_.trace) {
        traced_ = std::make_unique<TracingPlatform>(*platform_, console_);
        platform_ = traced_.get();
    }
    link_ = std::make_unique<DeviceLink>(*platform_);
    return true;
}

std::vector<ListedInterface> Session::list() { return ListTalvoInterfaces(*platform_); }

std::unique_ptr<HidMonitor> Session::monitor() { return platform_->monitor(); }

QString Session::RefusalText(OpenRefusal refusal) {
    switch (refusal) {
        case OpenRefusal::None:
            return QStringLiteral("can be opened");
        case OpenRefusal::NoPermission:
            return QStringLiteral("no permission to open it");
        case OpenRefusal::Busy:
            return QString::fromStdString(InUseText({}));
        case OpenRefusal::Gone:
            return QStringLiteral("gone: it was unplugged");
        case OpenRefusal::Other:
            break;
    }
    return QStringLiteral("it cannot be opened");
}

QString Session::PermissionAdvice(const QString& path) {
    return QStringLiteral(
               "talvo4ctl: the TALVO-4 at %1 is present, but this user may not open it.\n"
               "The udev rule %2 grants access to the user at the seat. Install it and "
               "apply it to the devices present now:\n"
               "  %3\n"
               "  %4")
        .arg(path, QLatin1String(kUdevRuleName), QString::fromStdString(UdevRuleWriteCommand()),
             QLatin1String(kUdevRuleApplyCommand));
}

QString Session::NoDeviceText() {
    return QStringLiteral(
        "talvo4ctl: no TALVO-4 found (no HID interface with vendor 0x17A7, product 0x0002). "
        "Is it plugged in?");
}

QString Session::OtherInterfaceText(const HidCaps& caps) {
    const QString why = caps.numbered_reports
                            ? QStringLiteral("its reports carry report IDs")
                            : QStringLiteral("input report %1 bytes, output report %2 bytes")
                                  .arg(caps.InputReportByteLength)
                                  .arg(caps.OutputReportByteLength);
    return QStringLiteral("not a TALVO-4 command interface (%1)").arg(why);
}

std::optional<LockHolder> Session::holderOf(const ListedInterface& listed) {
    // No program of this tool holds an interface it never uses.
    if (IsOtherInterface(listed)) return std::nullopt;
    // The lock is advisory: the system opens a held interface all the same,
    // so one that opened is asked whether another program holds it.
    const OpenRefusal refusal =
        listed.refusal == OpenRefusal::None ? platform_->probeOpen(listed.path) : listed.refusal;
    if (refusal != OpenRefusal::Busy) return std::nullopt;
    return platform_->lockHolder(listed.path).value_or(LockHolder{});
}

std::optional<Unavailable> Session::open() {
    if (link_->FindDevice()) {
        // Discovery passes over interfaces whose lengths it knows to fit no
        // command; one whose lengths could not be read at all comes here.
        const HidCaps& caps = link_->DeviceCapabilities;
        if (CommandsFit(caps)) return std::nullopt;
        const QString path = QString::fromStdString(link_->DevicePath);
        link_->CloseDevice();
        return Unavailable{QStringLiteral("report lengths no command fits in"),
                           QStringLiteral("talvo4ctl: the TALVO-4 at %1 reports report lengths no "
                                          "command fits in (input %2, output %3 bytes)")
                               .arg(path)
                               .arg(caps.InputReportByteLength)
                               .arg(caps.OutputReportByteLength),
                           true};
    }
    const auto listed = list();
    if (listed.empty()) {
        const QString reason = QStringLiteral("not found");
        if (choice_.path.isEmpty()) return Unavailable{reason, NoDeviceText()};
        return Unavailable{reason, QStringLiteral("talvo4ctl: %1 is not a TALVO-4 interface that "
                                                  "is present now (see talvo4ctl list)")
                                       .arg(choice_.path)};
    }
    if (const auto locked = FirstWithoutPermission(listed))
        return Unavailable{RefusalText(OpenRefusal::NoPermission),
                           PermissionAdvice(QString::fromStdString(locked->path)), false,
                           Reason::NoPermission};
    const auto in_use = [](const std::string& path, const LockHolder& holder) {
        const QString text = QString::fromStdString(InUseText(holder));
        return Unavailable{text,
                           QStringLiteral("talvo4ctl: the TALVO-4 at %1 is %2")
                               .arg(QString::fromStdString(path), text),
                           false, Reason::Busy};
    };
    for (const ListedInterface& interface : listed)
        if (const auto holder = holderOf(interface)) return in_use(interface.path, *holder);
    const auto first = std::find_if(listed.begin(), listed.end(),
                                    [](const ListedInterface& l) { return !IsOtherInterface(l); });
    if (first == listed.end()) {
        // Only the other interfaces of a composite device: its command
        // interface may yet appear, so waiting can help.
        const ListedInterface& other = listed.front();
        return Unavailable{
            QStringLiteral("no command interface"),
            QStringLiteral("talvo4ctl: no TALVO-4 command interface found; %1 is %2")
                .arg(QString::fromStdString(other.path), OtherInterfaceText(*other.capabilities))};
    }
    // Its holder let go between the two looks.
    if (const auto& holder = link_->inUseBy()) return in_use(first->path, *holder);
    if (const int error = link_->lockError())
        return Unavailable{
            QStringLiteral("cannot be locked"),
            QStringLiteral("talvo4ctl: the TALVO-4 at %1 cannot be locked for this program "
                           "alone: %2")
                .arg(QString::fromStdString(first->path), QString::fromLocal8Bit(strerror(error)))};
    return Unavailable{RefusalText(first->refusal),
                       QStringLiteral("talvo4ctl: the TALVO-4 at %1 cannot be opened: %2")
                           .arg(QString::fromStdString(first->path), RefusalText(first->refusal))};
}

bool Session::connect() {
    const auto unavailable = open();
    if (unavailable) console_.error(unavailable->message);
    return !unavailable;
}

}  // namespace talvo::cli
