#include "device/hid_platform.h"

namespace talvo {

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

}  // namespace talvo
