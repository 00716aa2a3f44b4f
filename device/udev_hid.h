#pragma once
// What udev knows of hidraw nodes: the USB socket a node's device is plugged
// into, and the nodes that come and go. Everything is read from sysfs and
// udev's event socket, never from udev's database, so that it works the
// same wherever sysfs is (in containers without udevd, under umockdev).
// Only the choice of event source looks for udevd.

#include <memory>
#include <string>

#include "device/hid_monitor.h"

namespace talvo::udev_hid {

struct UsbAddress {
    std::string port;    // the USB device's name in sysfs, "1-2.3"; empty when not on USB
    std::string serial;  // its serial number; empty where it has none
};

// The address of the USB device behind the hidraw node at `path` (/dev/hidrawN).
UsbAddress UsbAddressOf(const std::string& path);

// hidraw nodes as they come and go: udevd's word where udevd runs (the udev
// rule's permissions are in place by then), the kernel's where it does not;
// nullptr where no monitor can be made.
std::unique_ptr<HidMonitor> OpenHidrawMonitor();

}  // namespace talvo::udev_hid
