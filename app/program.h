#pragma once
// Program-wide state: exists once per run and is shared by all windows.

#include <cstdint>

#include "app/file_dialogs.h"
#include "app/ticks.h"
#include "capture/capture_state.h"
#include "device/device_link.h"
#include "timing/timing_state.h"

namespace talvo {

struct Program {
    Program(DeviceLink& device_link, FileDialogs& file_dialogs)
        : link(device_link), dialogs(file_dialogs) {
        SetProgramEnding(false);
    }

    DeviceLink& link;
    FileDialogs& dialogs;
    Ticks ticks;
    int16_t DeviceConnected = 0;
    int32_t rom_address = 0;
    CaptureState capture;
    TimingState timing;
};

}  // namespace talvo
