#pragma once
// The device's picture path and image slots as the capture window sees them.

#include "device/device_link.h"
#include "sim/answers.h"

namespace talvo::sim {

class CaptureModel {
public:
    void command(const CommandArray& command, Answers& answers);
};

}  // namespace talvo::sim
