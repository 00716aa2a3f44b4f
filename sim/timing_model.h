#pragma once
// The OMBRIX-3 timing block as the timing window sees it.

#include "device/device_link.h"
#include "sim/answers.h"

namespace talvo::sim {

class TimingModel {
public:
    void command(const CommandArray& command, Answers& answers);
};

}  // namespace talvo::sim
