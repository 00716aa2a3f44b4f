#pragma once
// A session with a TALVO-4 as JSON Lines: a first line that describes the
// device, then every report out and in, one per line, and at the end the
// front end's own result. A recording of a real device is replayed later as
// the device itself (replay_platform.h), so what one user's device did
// becomes a test. The keys are named here once, for writer and reader.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace talvo::recording {

// Grows with the format; a reader refuses a version it does not know.
inline constexpr int kFormatVersion = 1;
inline constexpr char kFormatName[] = "talvo4-recording";

// First line.
inline constexpr char kFormat[] = "format";
inline constexpr char kVersion[] = "version";
inline constexpr char kTool[] = "tool";
inline constexpr char kCommand[] = "command";
inline constexpr char kVendor[] = "vendor";
inline constexpr char kProduct[] = "product";
inline constexpr char kRelease[] = "release";
inline constexpr char kNode[] = "node";
inline constexpr char kPort[] = "port";
inline constexpr char kInputLength[] = "input_report_length";
inline constexpr char kOutputLength[] = "output_report_length";
inline constexpr char kDescriptor[] = "descriptor";
// Report lines.
inline constexpr char kIndex[] = "n";
inline constexpr char kTime[] = "t_ms";
inline constexpr char kOut[] = "out";
inline constexpr char kIn[] = "in";
inline constexpr char kWaited[] = "wait_ms";
inline constexpr char kTimedOut[] = "timed_out";
inline constexpr char kReadFailed[] = "read_failed";
inline constexpr char kWriteFailed[] = "write_failed";
// The system's error number of a failed write, where there is one: a replay
// tells an unplug from a report the device refused by it.
inline constexpr char kWriteError[] = "write_error";
// Last line.
inline constexpr char kResult[] = "result";
inline constexpr char kOutputSha256[] = "output_sha256";  // of the file the command wrote

}  // namespace talvo::recording

namespace talvo {

struct RecordingHeader {
    std::string tool;                  // "talvo4ctl 1.2.0"
    std::vector<std::string> command;  // the words that run it again; empty for the windows
    HidAttributes attributes;
    std::string node;
    std::string port;
    HidCaps caps;
    std::vector<uint8_t> descriptor;
};

struct RecordedReport {
    bool out = false;            // sent by the tool; else read from the device
    std::vector<uint8_t> bytes;  // a read that got nothing: empty
    bool failed = false;         // the write or the read failed
    bool timed_out = false;      // the read waited out its time
    int write_error = 0;         // a failed write's error number, 0 where unknown
    double waited_ms = 0;        // how long the read took
};

struct Recording {
    RecordingHeader header;
    std::vector<RecordedReport> reports;
};

// Bytes as one string of upper-case hex digits, two per byte.
std::string HexString(std::span<const uint8_t> bytes);
// nullopt for an odd length or a character that is no hex digit.
std::optional<std::vector<uint8_t>> BytesOfHex(const std::string& hex);

}  // namespace talvo
