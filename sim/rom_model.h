#pragma once
// The device's ROM as the ROM write sees it.

#include "device/device_link.h"
#include "sim/answers.h"

namespace talvo::sim {

class RomModel {
public:
    // True between a write start and its last data report: every report is data.
    bool inDataPhase() const { return false; }
    void command(const CommandArray& command, Answers& answers);
    void data(const CommandArray& data, Answers& answers);
};

}  // namespace talvo::sim
