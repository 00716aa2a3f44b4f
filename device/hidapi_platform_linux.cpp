#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "device/hidapi_node.h"
#include "device/udev_hid.h"

namespace talvo::hidapi_node {
namespace {

// No descriptor is longer than this; the kernel refuses longer ones too.
constexpr size_t kMaxDescriptorSize = 4096;

}  // namespace

// hidapi's path on Linux is the hidraw node (/dev/hidrawN); the kernel shows
// the node's report descriptor, readable by everyone, under sysfs.
std::optional<std::vector<uint8_t>> ReadDescriptor(const std::string& path) {
    const std::string node = path.substr(path.find_last_of('/') + 1);
    if (node.empty() || node == "." || node == "..") return std::nullopt;
    std::ifstream file("/sys/class/hidraw/" + node + "/device/report_descriptor", std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes(kMaxDescriptorSize + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    const auto got = size_t(file.gcount());
    if (got == 0 || got > kMaxDescriptorSize) return std::nullopt;
    bytes.resize(got);
    return bytes;
}

OpenRefusal ProbeOpen(const std::string& path) {
    // The same access hidapi asks for when it opens a node.
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        // Open, but another program of this tool may hold the device. The
        // table of locks tells without taking the lock; only where there is
        // none is the lock tried, and let go at once.
        std::optional<bool> held = LockIsHeld(path);
        if (!held) held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return *held ? OpenRefusal::Busy : OpenRefusal::None;
    }
    switch (errno) {
        case EACCES:
        case EPERM:
            return OpenRefusal::NoPermission;
        case EBUSY:
            return OpenRefusal::Busy;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenRefusal::Gone;
        default:
            return OpenRefusal::Other;
    }
}

void AddUsbAddress(HidInterfaceInfo& info) {
    udev_hid::UsbAddress address = udev_hid::UsbAddressOf(info.path);
    info.port = std::move(address.port);
    info.serial = std::move(address.serial);
}

std::unique_ptr<HidMonitor> OpenMonitor() { return udev_hid::OpenHidrawMonitor(); }

}  // namespace talvo::hidapi_node
