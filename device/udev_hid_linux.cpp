#include <libudev.h>
#include <unistd.h>

#include "device/udev_hid.h"

namespace talvo::udev_hid {
namespace {

struct UdevUnref {
    void operator()(::udev* context) const { udev_unref(context); }
    void operator()(udev_device* device) const { udev_device_unref(device); }
    void operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }
};
using Context = std::unique_ptr<::udev, UdevUnref>;
using Device = std::unique_ptr<udev_device, UdevUnref>;
using Monitor = std::unique_ptr<udev_monitor, UdevUnref>;

std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

class HidrawMonitor : public HidMonitor {
  public:
    HidrawMonitor(Context context, Monitor monitor)
        : context_(std::move(context)), monitor_(std::move(monitor)) {}

    int descriptor() const override { return udev_monitor_get_fd(monitor_.get()); }

    std::vector<HidChange> take() override {
        std::vector<HidChange> changes;
        // The socket does not block: a null device means none is waiting.
        while (const Device device{udev_monitor_receive_device(monitor_.get())}) {
            const std::string action = Text(udev_device_get_action(device.get()));
            const std::string node = Text(udev_device_get_devnode(device.get()));
            if (node.empty()) continue;
            // "change": udevadm trigger after the udev rule was installed; the
            // node may be one this user can open now.
            if (action == "add" || action == "change")
                changes.push_back({HidChange::Kind::Arrived, node});
            else if (action == "remove")
                changes.push_back({HidChange::Kind::Left, node});
        }
        return changes;
    }

  private:
    Context context_;
    Monitor monitor_;
};

}  // namespace

UsbAddress UsbAddressOf(const std::string& path) {
    const std::string node = path.substr(path.find_last_of('/') + 1);
    if (node.empty() || node == "." || node == "..") return {};
    const Context context{udev_new()};
    if (!context) return {};
    const Device hidraw{
        udev_device_new_from_subsystem_sysname(context.get(), "hidraw", node.c_str())};
    if (!hidraw) return {};
    // Owned by `hidraw`, not to be released on its own.
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(hidraw.get(), "usb", "usb_device");
    if (!usb) return {};
    return {Text(udev_device_get_sysname(usb)), Text(udev_device_get_sysattr_value(usb, "serial"))};
}

std::unique_ptr<HidMonitor> OpenHidrawMonitor() {
    Context context{udev_new()};
    if (!context) return nullptr;
    // udevd's events come once its rules have given the node its permissions.
    // Where no udevd runs (a container, a mocked system), libudev would
    // listen to nothing: the kernel's own events are all there is then.
    const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    Monitor monitor{udev_monitor_new_from_netlink(context.get(), source)};
    if (!monitor) return nullptr;
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0 || udev_monitor_get_fd(monitor.get()) < 0)
        return nullptr;
    return std::make_unique<HidrawMonitor>(std::move(context), std::move(monitor));
}

}  // namespace talvo::udev_hid
