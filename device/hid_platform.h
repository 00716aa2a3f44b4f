#pragma once
// The narrow interface between the device link and whatever provides USB HID
// access: the real hidapi backend or the simulated TALVO-4.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/hid_monitor.h"
#include "device/interface_lock.h"

namespace talvo {

struct HidAttributes {
    uint16_t VendorID = 0;
    uint16_t ProductID = 0;
    uint16_t VersionNumber = 0;
};

// Report lengths the way Windows states them: the longest report of each kind
// in bytes, plus one byte for the report ID (also when the device uses none).
struct HidCaps {
    uint16_t InputReportByteLength = 0;
    uint16_t OutputReportByteLength = 0;
    uint16_t FeatureReportByteLength = 0;
    // The descriptor numbers its reports (Report ID items): byte 0 of every
    // report is then an ID the device expects, never the 0 a command carries.
    bool numbered_reports = false;
};

// Whether command reports fit an interface with these lengths: the report ID
// and eight command bytes out, at least one byte of answer in, no numbered
// reports. A composite device's keyboard or mouse interface does not.
bool CommandsFit(const HidCaps& caps);

// How a write that did not go out failed.
enum class WriteFailure {
    Gone,       // the node is gone or hung up (ENODEV, EIO ...): the device was unplugged
    Transient,  // the device is there but did not take the report (EPIPE, ETIMEDOUT, EPROTO ...)
};
// What a write's error number says of the device.
WriteFailure WriteFailureOf(int error);

enum class ReadOutcome { Completed, TimedOut, Failed };

// Why an interface cannot be opened for reading and writing.
enum class OpenRefusal {
    None,          // it can be opened
    NoPermission,  // this user may not open it (EACCES, EPERM)
    Busy,          // another program holds it exclusively (EBUSY)
    Gone,          // it vanished since it was listed (ENOENT, ENODEV)
    Other,
};

// A present interface with the identifiers the enumeration reports, known
// without opening it.
struct HidInterfaceInfo {
    std::string path;
    HidAttributes attributes;
    // Where the device is plugged in, as the system names its USB device
    // ("1-2.3", the name lsusb -t shows): the same after every replug into
    // the same socket, unlike the path. Empty where unknown.
    std::string port{};
    // The USB serial number; empty where the device has none or it is unknown.
    std::string serial{};
};

// One open handle on a HID interface.
class HidConnection {
  public:
    virtual ~HidConnection() = default;
    virtual std::optional<HidAttributes> attributes() = 0;
    virtual std::optional<HidCaps> capabilities() = 0;
    // The report descriptor's bytes, where the backend can hand them over.
    virtual std::optional<std::vector<uint8_t>> reportDescriptor() { return std::nullopt; }
    // Writes one whole output report; byte 0 is the report ID.
    virtual bool writeReport(std::span<const uint8_t> report) = 0;
    // Why the last writeReport failed, and the system's error number for it
    // (0 where there is none). Connections that cannot tell take every
    // failed write for an unplug.
    virtual WriteFailure lastWriteFailure() const { return WriteFailure::Gone; }
    virtual int lastWriteError() const { return 0; }
    // Drops the input reports that have arrived and are still queued, without
    // waiting for more; returns how many. A connection that wraps another
    // passes this on.
    virtual int discardInput() { return 0; }
    // Reads the oldest queued input report into `buffer` as [report ID, data...],
    // waiting at most `timeout`. A report longer than the buffer is cut, a
    // shorter one leaves the rest of the buffer untouched. A report that arrives
    // after the wait stays queued for the next read.
    virtual ReadOutcome readReport(std::span<uint8_t> buffer,
                                   std::chrono::milliseconds timeout) = 0;
};

class HidPlatform {
  public:
    virtual ~HidPlatform() = default;
    // Paths of the present HID interfaces, in enumeration order.
    virtual std::vector<std::string> enumerate() = 0;
    // Opens a path for reading and writing; nullptr when it cannot be opened.
    virtual std::unique_ptr<HidConnection> open(const std::string& path) = 0;

    // The present interfaces with their identifiers, in enumeration order.
    // This fallback has to open each one to learn them; an interface that
    // cannot be opened is listed with zero identifiers.
    virtual std::vector<HidInterfaceInfo> describe();
    // Whether `path` can be opened for reading and writing now, and if not,
    // why. Opens it at most once and closes it again.
    virtual OpenRefusal probeOpen(const std::string& path);

    // The lock a program holds on a TALVO-4 for as long as it has it open
    // (see interface_lock.h). Platforms without such locks lock nothing.
    virtual LockAttempt lockInterface(const std::string& path);
    // Who holds the lock on `path`; nullopt when it is free or unknown.
    virtual std::optional<LockHolder> lockHolder(const std::string& path);

    // Tells of interfaces that come and go; nullptr where the platform
    // cannot (then a device is found only when someone looks for it).
    virtual std::unique_ptr<HidMonitor> monitor();
};

}  // namespace talvo
