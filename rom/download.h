#pragma once
// The ROM write of the main window: erase, transfer and checksum verify.

class QLineEdit;
class QWidget;

namespace talvo {

struct Program;

// Runs `download` at program.rom_address, showing progress and the verdict in
// `status` (the main window's Text1); `dialog_parent` owns the file dialog.
void RunDownload(Program& program, QLineEdit& status, QWidget* dialog_parent);

}  // namespace talvo
