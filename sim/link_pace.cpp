#include "sim/link_pace.h"

namespace talvo::sim {

std::optional<LinkSpeed> LinkSpeedNamed(std::string_view name) {
    if (name == "usb") return LinkSpeed::Usb;
    if (name == "instant") return LinkSpeed::Instant;
    return std::nullopt;
}

}  // namespace talvo::sim
