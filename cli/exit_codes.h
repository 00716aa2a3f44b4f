#pragma once
// What talvo4ctl tells a script by its exit status.

namespace talvo::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitFailed = 1,         // the device answered, but the operation failed
    kExitUsage = 2,          // bad arguments or input file; nothing was sent
    kExitNoDevice = 3,       // no TALVO-4, or no permission to open it
    kExitDeviceLost = 4,     // the device vanished or fell silent on the way
    kExitDiverged = 5,       // --replay: the tool departed from the recording
    kExitInterrupted = 130,  // Ctrl+C ended the operation (128 + SIGINT, as shells do)
};

}  // namespace talvo::cli
