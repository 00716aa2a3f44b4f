#pragma once
// --trace: every report out and in, as hex on standard error. Wraps the
// platform, so it sees exactly what goes over the wire.

#include <memory>

#include "cli/console.h"
#include "device/passing_platform.h"

namespace talvo::cli {

class TracingPlatform : public PassingPlatform {
  public:
    TracingPlatform(HidPlatform& inner, Console& console)
        : PassingPlatform(inner), console_(console) {}

    std::unique_ptr<HidConnection> open(const std::string& path) override;

  private:
    Console& console_;
};

// "> 00 13 05 ..." for a report out, "< 00 ..." for one in.
QByteArray TraceLine(char direction, std::span<const uint8_t> bytes);

}  // namespace talvo::cli
