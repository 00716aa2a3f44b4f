#pragma once
// The ROM write of the main window: erase, transfer and checksum verify.

#include <functional>

class QLineEdit;
class QWidget;

namespace talvo {

struct Program;

// Runs `download` at program.rom_address, showing progress and the verdict in
// `status` (the main window's Text1); `dialog_parent` owns the file dialog.
void RunDownload(Program& program, QLineEdit& status, QWidget* dialog_parent);

// True from a click on the ROM write until it has let go of the device.
bool DownloadRunning();
// Runs `step` once the ROM write has let go of the device, at once when none
// runs; steps run in the order they came, and not when the program is ending.
void AfterDownload(std::function<void()> step);

}  // namespace talvo
