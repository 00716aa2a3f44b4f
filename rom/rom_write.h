#pragma once
// The ROM write as one sequence over the device link, for any front end:
// erase the area, send the file eight bytes per report, and have the device
// sum what it holds. The main window's Command10 and the terminal tool both
// write through it.
//
// Once begun, it heeds no stop request: after the write start the device
// takes every report as data until it has all of it, so a write can only be
// given up (its front end gone), never ended cleanly half way. Nothing more
// is sent once its front end goes; the ROM area then stays incomplete. A
// stop asked for before its first report ends it with nothing sent.

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>

#include "device/device_link.h"
#include "device/sequence.h"

namespace talvo {

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
    // Before the first erase, when the machine cannot be kept awake: why not,
    // as one line (see SleepInhibitor::failure). The write goes on.
    std::function<void(const QString&)> no_sleep_lock;
};

struct RomWriteOptions {
    // Asks logind, under this name, to keep the machine awake from the first
    // erase to the verdict: a machine that suspends in the middle leaves the
    // ROM area half written. Empty: no lock is asked for.
    QString keep_awake_as;
    // The caller's own hold of the link, taken before the write (the window
    // holds the link from the click on, its file dialog included). The write
    // sends through it; without it the write takes a hold of its own.
    DeviceLink::Exclusive* hold = nullptr;
};

enum class RomWriteResult {
    SumsMatch,
    SumsDiffer,
    NoChecksumAnswer,  // the device never reported its sum ready in time
    EmptyFile,         // nothing sent
    UnreadableFile,    // not a regular file, or not readable to its planned length.
                       // Phase FileCheck: nothing sent. Transfer: it failed after
                       // the erase; the rest of the write went out as zeros, so
                       // the ROM area is incomplete. Verify: the write is unverified.
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

struct RomWriteDetail {
    RomWriteResult result = RomWriteResult::UnreadableFile;  // counts once the write is done()
    RomWritePhase phase = RomWritePhase::FileCheck;
    int64_t bytes_sent = 0;       // data bytes handed to the link (and taken by it,
                                  // with OnDeviceLost::End)
    int64_t transfer_length = 0;  // L, 0 when the file was refused
    uint16_t device_sum = 0;      // valid for SumsMatch and SumsDiffer
    uint16_t file_sum = 0;        // valid once the phase reached Verify
};

// Writes the file at `path` into the ROM at `rom_address`, holding the link
// exclusively while it runs; DeviceBusy, with nothing sent, while another
// sequence holds it. Waits and turns between reports go through the front
// end's pacer; a false from it ends the write at once (FrontEndGone),
// wherever it is. The front end's stop request is asked once, just before
// the first erase (after the sleep lock was asked for): true ends the write
// there (Stopped), nothing sent.
Outcome<RomWriteDetail> WriteRom(DeviceLink& link, int32_t rom_address, const QString& path,
                                 FrontEnd front_end, const RomWriteObserver& observer = {},
                                 const RomWriteOptions& options = {});

// Compares the ROM with the file at `path` without writing: the file's sum is
// taken as the write takes it, then the device is asked for its sum over the
// same range and polled as the write's verify polls, within kChecksumWait.
// Nothing is erased or sent as data, so the check may be stopped before its
// request or between polls (Stopped) and its front end may go at any wait
// (FrontEndGone). Its
// detail ends in phase Done with SumsMatch or SumsDiffer, or says why there
// is no verdict (NoChecksumAnswer, EmptyFile, UnreadableFile); bytes_sent
// stays 0. DeviceBusy, with nothing sent, while another sequence holds the
// link.
Outcome<RomWriteDetail> VerifyRom(DeviceLink& link, int32_t rom_address, const QString& path,
                                  FrontEnd front_end, const RomWriteObserver& observer = {});

}  // namespace talvo
