#pragma once
// HID access through hidapi (hidraw backend on Linux).

#include <map>

#include "device/hid_platform.h"

namespace talvo {

class HidapiPlatform : public HidPlatform {
  public:
    HidapiPlatform();
    ~HidapiPlatform() override;
    HidapiPlatform(const HidapiPlatform&) = delete;
    HidapiPlatform& operator=(const HidapiPlatform&) = delete;

    // Each interface once, in the order hidapi lists them; hidapi lists an
    // interface once per top-level collection.
    std::vector<std::string> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path) override;
    // Identifiers straight from the enumeration, port path and serial from
    // the system: nothing is opened.
    std::vector<HidInterfaceInfo> describe() override;
    // Opens the node itself, since hidapi does not always keep the reason
    // its own open failed.
    OpenRefusal probeOpen(const std::string& path) override;
    // flock on the hidraw node, the convention other hidraw programs share.
    LockAttempt lockInterface(const std::string& path) override;
    std::optional<LockHolder> lockHolder(const std::string& path) override;
    // udev's word on hidraw nodes, where there is a udev to ask.
    std::unique_ptr<HidMonitor> monitor() override;

  private:
    std::optional<HidAttributes> attributesOf(const std::string& path);

    // Identifiers of the interfaces seen by the last enumeration.
    std::map<std::string, HidAttributes> known_;
};

}  // namespace talvo
