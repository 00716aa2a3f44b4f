#pragma once
// Program-wide state: exists once per run and is shared by all windows.

#include <cstdint>

#include "capture/capture_state.h"
#include "device/device_link.h"
#include "timing/timing_state.h"
#include "ui/file_dialogs.h"
#include "ui/ticks.h"

namespace talvo {

struct Program {
    // `hid` is what the link runs on; given, a start-up that finds no device it
    // can open also asks it whether a TALVO-4 is there that this user may not open.
    Program(DeviceLink& device_link, FileDialogs& file_dialogs, HidPlatform* hid = nullptr)
        : link(device_link), dialogs(file_dialogs), platform(hid) {
        SetProgramEnding(false);
    }

    DeviceLink& link;
    FileDialogs& dialogs;
    HidPlatform* platform;
    Ticks ticks;
    // The capture window's 100 ms clock that "REC" waits on; its Timer1 drives it.
    Ticks capture_ticks{kCaptureTick};
    int16_t DeviceConnected = 0;
    int32_t rom_address = 0;
    CaptureState capture;
    TimingState timing;
};

}  // namespace talvo
