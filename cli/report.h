#pragma once
// What a command found out, for --json: the facts it fills in as it goes,
// and why it ended as it did where its exit status alone does not say.
// RunTool turns it into the one object printed at the end, whichever way
// the tool ends; a command never prints it.

#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <optional>

#include "device/sequence.h"
#include "rom/rom_write.h"

namespace talvo::cli {

// Why the tool exits as it does, finer than the exit status.
enum class Reason {
    Done,
    Failed,
    Usage,
    NoDevice,
    NoPermission,
    Busy,
    DeviceLost,
    DeviceSilent,
    NoAnswer,  // answered every poll, never had its ROM checksum ready
    Diverged,
    WriteError,
    Interrupted,
};

// The word a script reads for a reason ("no-permission").
QString ReasonWord(Reason reason);
// The exit status a reason goes with.
int ExitCodeOf(Reason reason);
// The reason an exit status has when the command gave no finer one.
Reason DefaultReason(int exit_code);

class Report {
  public:
    // A fact of the result, under its key; a later one replaces it.
    void insert(const QString& key, const QJsonValue& value) { facts_.insert(key, value); }
    // Every key of `facts`.
    void insert(const QJsonObject& facts);
    // A finer reason than the exit status gives. One that does not go with
    // the exit status the tool ends with is not used.
    void setReason(Reason reason) { reason_ = reason; }

    // The whole object: the facts, then ok, reason and exit_code, and the
    // error text when the tool failed and said why.
    QJsonObject object(int exit_code, const QString& error) const;

  private:
    QJsonObject facts_;
    std::optional<Reason> reason_;
};

// A 16-bit sum as talvo4ctl writes it: "0x1A2B".
QString Hex4(uint16_t sum);

// The device went during a sequence: the exit status, the reason taken
// from how the operation ended (lost or silent).
int DeviceWentExit(Report& report, Ending ending);

// Exit status 4 of a ROM write or check: the reason says whether the device
// went (lost, silent) or answered every poll without ever having its sum
// ready (no-answer), where a script would replug it for nothing.
int RomDeviceExit(Report& report, const Outcome<RomWriteDetail>& outcome);

// The sums of a ROM area against a file, as rom write (and any other ROM
// command that compares sums) reports them.
struct RomSums {
    QString file;
    int64_t length = 0;                  // the bytes summed
    std::optional<uint16_t> file_sum;    // nullopt: the file was not summed
    std::optional<uint16_t> device_sum;  // nullopt: the device gave no sum
    // SumsMatch, SumsDiffer or NoChecksumAnswer once there is a verdict.
    std::optional<RomWriteResult> verdict;
    // Where a sequence stopped before its verdict ("erase"); empty otherwise.
    QString phase;
};

// file, length, file_sum and device_sum ("0x1A2B", null when there is
// none), verdict (match, differ, no-answer) and phase, each where known.
QJsonObject RomSumsJson(const RomSums& sums);
// What a ROM write or check of `path` that summed `length` bytes found out.
RomSums RomSumsOf(const QString& path, int64_t length, const Outcome<RomWriteDetail>& outcome);

}  // namespace talvo::cli
