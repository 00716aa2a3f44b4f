#pragma once
// --trace: every report out and in, as hex on standard error. Wraps the
// platform, so it sees exactly what goes over the wire.

#include <memory>

#include "cli/console.h"
#include "device/hid_platform.h"

namespace talvo::cli {

class TracingPlatform : public HidPlatform {
  public:
    TracingPlatform(HidPlatform& inner, Console& console) : inner_(inner), console_(console) {}

    std::vector<std::string> enumerate() override { return inner_.enumerate(); }
    std::unique_ptr<HidConnection> open(const std::string& path) override;
    std::vector<HidInterfaceInfo> describe() override { return inner_.describe(); }
    OpenRefusal probeOpen(const std::string& path) override { return inner_.probeOpen(path); }
    LockAttempt lockInterface(const std::string& path) override {
        return inner_.lockInterface(path);
    }
    std::optional<LockHolder> lockHolder(const std::string& path) override {
        return inner_.lockHolder(path);
    }
    std::unique_ptr<HidMonitor> monitor() override { return inner_.monitor(); }

  private:
    HidPlatform& inner_;
    Console& console_;
};

// "> 00 13 05 ..." for a report out, "< 00 ..." for one in.
QByteArray TraceLine(char direction, std::span<const uint8_t> bytes);

}  // namespace talvo::cli
