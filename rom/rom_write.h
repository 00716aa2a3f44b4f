#pragma once
// The ROM write as one sequence over the device link, for any front end:
// erase the area, send the file eight bytes per report, and have the device
// sum what it holds. The main window's Command10 and the terminal tool both
// write through it.

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

#include "device/device_link.h"
#include "device/sequence.h"

namespace talvo::rom {

// Polls for the device's sum end this long after the checksum request. A
// slow or busy part may need several seconds to sum 1 MiB of its flash, and
// giving up on it too early makes a good write look failed; a device that
// answers nothing at all (each read then waits out its second) still ends
// within about 17 s.
inline constexpr std::chrono::seconds kChecksumWait{15};

// What the write tells its front end while it runs. Empty members are not
// called; a front end that draws its own progress leaves progress_text empty
// and saves building 131072 texts.
struct RomWriteObserver {
    // Every status text as the main window's Text1 shows it, in order:
    // "Erace", "Download", "Download End", "check sum start", the verdict, and
    // the texts for a file that is not written or a sum that never came.
    std::function<void(const QString&)> status;
    // Before each data report: its progress text (offset in hex, then "byte").
    std::function<void(const QString&)> progress_text;
    // Before each data report: the data bytes sent so far of the transfer
    // length L; once more with (L, L) when the last report is out.
    std::function<void(int64_t sent, int64_t total)> progress;
};

struct RomWriteOptions {
    // End at once when the link reports the device gone or silent (see
    // DeviceLink::deviceLost). The window keeps going as it always has.
    bool end_when_device_lost = false;
};

enum class RomWriteResult {
    SumsMatch,
    SumsDiffer,
    NoChecksumAnswer,  // the device never reported its sum ready in time
    EmptyFile,         // nothing sent
    UnreadableFile,    // not a regular file, or unreadable: nothing sent, unless
                       // it became unreadable after the transfer
    Aborted,           // the pacer said the front end is gone
    DeviceLost,        // only with RomWriteOptions::end_when_device_lost
};

// Where a write ended, so that a front end can say how far it got.
enum class RomWritePhase {
    FileCheck,  // before anything was sent
    Erase,
    Transfer,  // after the write start: the ROM area is incomplete
    TransferEnd,
    Verify,
    Done,  // the verdict was given
};

struct RomWriteOutcome {
    RomWriteResult result = RomWriteResult::UnreadableFile;
    RomWritePhase phase = RomWritePhase::FileCheck;
    int64_t bytes_sent = 0;       // data bytes handed to the link (and taken by it,
                                  // with end_when_device_lost)
    int64_t transfer_length = 0;  // L, 0 when the file was refused
    uint16_t device_sum = 0;      // valid for SumsMatch and SumsDiffer
    uint16_t file_sum = 0;        // valid once the phase reached Verify
};

// Writes the file at `path` into the ROM at `rom_address`, holding the link
// exclusively while it runs. Waits and turns between reports go through
// `pacer`; a false from it ends the write at once (Aborted), wherever it is.
RomWriteOutcome WriteRom(DeviceLink& link, int32_t rom_address, const QString& path, Pacer& pacer,
                         const RomWriteObserver& observer = {}, RomWriteOptions options = {});

}  // namespace talvo::rom
