#include "device/hidapi_platform.h"

namespace talvo {

HidapiPlatform::HidapiPlatform() = default;
HidapiPlatform::~HidapiPlatform() = default;
std::vector<std::string> HidapiPlatform::enumerate() { return {}; }
std::unique_ptr<HidConnection> HidapiPlatform::open(const std::string&) { return nullptr; }

}  // namespace talvo
