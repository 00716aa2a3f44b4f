#pragma once
// The device a subcommand talks to: the real one through hidapi or the
// simulated one, traced or not, the first TALVO-4 or the one --device names.

#include <QString>
#include <QStringList>
#include <memory>

#include "cli/console.h"
#include "cli/report.h"
#include "device/device_link.h"
#include "device/device_listing.h"
#include "sim/link_pace.h"

namespace talvo::cli {

class Simulation;
class FieldKit;

// Why no TALVO-4 can be used now.
struct Unavailable {
    QString reason;                   // in a few words: "not found", "in use by talvo4 (pid 1234)"
    QString message;                  // what talvo4ctl says of it, in full
    bool lasting = false;             // the device is there and will not do: waiting cannot help
    Reason cause = Reason::NoDevice;  // NoDevice, NoPermission or Busy
};

struct DeviceChoice {
    bool simulate = false;
    QStringList faults;  // simulated faults, only with simulate
    int simulated_devices = 1;
    sim::LinkSpeed simulated_speed = sim::LinkSpeed::Instant;
    bool simulate_reset = false;  // the device opened starts afresh
    QString path;                 // --device: a path, or "usb:PORT"; empty: the first TALVO-4
    bool trace = false;
    QString record;               // --record FILE: every report into FILE
    QString replay;               // --replay FILE: the recording in place of the device
    bool replay_instant = false;  // --replay-speed instant
    QStringList command_line;     // what a recording names as its command
};

class Session {
  public:
    // nullptr when a simulated fault is malformed (said on the console).
    static std::unique_ptr<Session> Create(const DeviceChoice& choice, Console& console);
    // Over a platform the caller owns (the tests' and the benchmarks' own
    // simulated devices).
    Session(HidPlatform& platform, const DeviceChoice& choice, Console& console);
    ~Session();

    // Every TALVO-4 present, and whether it can be opened.
    std::vector<ListedInterface> list();
    // Every HID interface present, with what the enumeration knows of it.
    std::vector<HidInterfaceInfo> describe() { return platform_->describe(); }
    // Word of interfaces as they come and go; nullptr where there is none
    // (no udev, the simulated device).
    std::unique_ptr<HidMonitor> monitor();
    // The program that holds a listed TALVO-4 (so that this one must leave
    // it alone, though the system may open it); nullopt when it is free.
    // A holder that cannot be seen is one without a name or pid.
    std::optional<LockHolder> holderOf(const ListedInterface& listed);
    // Finds and opens the device, saying nothing; nullopt when it is open.
    std::optional<Unavailable> open();
    // open(), saying why not in full when it fails (exit status 3).
    bool connect();
    DeviceLink& link() { return *link_; }
    Simulation* simulation() { return simulation_.get(); }
    // --record and --replay; nullptr where neither was given.
    FieldKit* fieldKit() { return field_kit_.get(); }

    // The advice for an interface this user may not open.
    static QString PermissionAdvice(const QString& path);
    static QString RefusalText(OpenRefusal refusal);
    // Why an interface of the TALVO-4's identifiers takes no command.
    static QString OtherInterfaceText(const HidCaps& caps);
    // No TALVO-4 interface at all.
    static QString NoDeviceText();

  private:
    Session(const DeviceChoice& choice, Console& console);
    // False when --record or --replay cannot be set up (said on the console).
    bool build(HidPlatform& base);

    DeviceChoice choice_;
    Console& console_;
    std::unique_ptr<Simulation> simulation_;
    std::unique_ptr<HidPlatform> owned_;   // hidapi, when not simulating
    std::unique_ptr<HidPlatform> chosen_;  // only the --device path
    std::unique_ptr<FieldKit> field_kit_;  // replaces the device, or records it
    std::unique_ptr<HidPlatform> traced_;
    HidPlatform* platform_ = nullptr;  // the outermost of the above
    std::unique_ptr<DeviceLink> link_;
};

}  // namespace talvo::cli
