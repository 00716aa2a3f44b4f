#pragma once
// HID access through hidapi (hidraw backend on Linux).

#include "device/hid_platform.h"

namespace talvo {

class HidapiPlatform : public HidPlatform {
public:
    HidapiPlatform();
    ~HidapiPlatform() override;
    std::vector<std::string> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path) override;
};

}  // namespace talvo
