#include "device/hid_platform.h"

#include <cerrno>

namespace talvo {

bool CommandsFit(const HidCaps& caps) {
    constexpr size_t kCommandReportLength = 1 + 8;
    return caps.OutputReportByteLength >= kCommandReportLength && caps.InputReportByteLength >= 2 &&
           !caps.numbered_reports;
}

WriteFailure WriteFailureOf(int error) {
    switch (error) {
        case ENODEV:  // the kernel's word for an unplugged hidraw node
        case ENXIO:
        case ENOENT:
        case ESHUTDOWN:  // the USB interface was shut down under the write
        case EIO:        // a node that was hung up
        case EBADF:
            return WriteFailure::Gone;
        default:
            return WriteFailure::Transient;
    }
}

std::vector<HidInterfaceInfo> HidPlatform::describe() {
    std::vector<HidInterfaceInfo> list;
    for (std::string& path : enumerate()) {
        HidAttributes attributes;
        if (const auto connection = open(path))
            attributes = connection->attributes().value_or(HidAttributes{});
        list.push_back({std::move(path), attributes, {}, {}});
    }
    return list;
}

OpenRefusal HidPlatform::probeOpen(const std::string& path) {
    return open(path) ? OpenRefusal::None : OpenRefusal::Other;
}

LockAttempt HidPlatform::lockInterface(const std::string&) {
    return {std::make_unique<InterfaceLock>(), {}};
}

std::optional<LockHolder> HidPlatform::lockHolder(const std::string&) { return std::nullopt; }

std::unique_ptr<HidMonitor> HidPlatform::monitor() { return nullptr; }

}  // namespace talvo
