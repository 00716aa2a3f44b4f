#include "device/device_listing.h"

#include "device/device_link.h"

namespace talvo {

std::vector<ListedInterface> ListTalvoInterfaces(HidPlatform& platform) {
    std::vector<ListedInterface> list;
    for (HidInterfaceInfo& info : platform.describe()) {
        if (info.attributes.VendorID != kTalvoVendorId ||
            info.attributes.ProductID != kTalvoProductId)
            continue;
        ListedInterface listed{std::move(info.path), OpenRefusal::None, std::nullopt,
                               std::move(info.port), std::move(info.serial)};
        if (const auto connection = platform.open(listed.path)) {
            listed.capabilities = connection->capabilities();
        } else {
            // Ask again for the reason; an interface that opens now after
            // all still failed a moment ago, for no reason we can name.
            listed.refusal = platform.probeOpen(listed.path);
            if (listed.refusal == OpenRefusal::None) listed.refusal = OpenRefusal::Other;
        }
        list.push_back(std::move(listed));
    }
    return list;
}

bool IsOtherInterface(const ListedInterface& listed) {
    return listed.capabilities && !CommandsFit(*listed.capabilities);
}

std::optional<ListedInterface> FirstWithoutPermission(const std::vector<ListedInterface>& list) {
    for (const ListedInterface& listed : list)
        if (listed.refusal == OpenRefusal::NoPermission) return listed;
    return std::nullopt;
}

}  // namespace talvo
