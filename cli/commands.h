#pragma once
// The subcommands. Each checks its words (and its input files) before it
// touches the device, so that a usage error sends nothing.

#include <QString>
#include <memory>
#include <optional>
#include <variant>

#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/exit_codes.h"
#include "cli/interrupts.h"
#include "cli/report.h"
#include "cli/session.h"
#include "rom/rom_write.h"

namespace talvo::cli {

struct Context {
    Console& console;
    Interrupts& interrupts;
    // What --json prints at the end: each command fills in its facts.
    Report report{};
};

class Command {
  public:
    virtual ~Command() = default;
    // Whether the command needs the device open before run (list does not).
    virtual bool needsDevice() const { return true; }
    // Returns the exit status.
    virtual int run(Session& session, Context& context) = 0;
};

struct Prepared {
    std::unique_ptr<Command> command;
    QString usage_error;      // set when command is null
    bool file_error = false;  // the words were fine, a file is not
};

// `console` tells whether standard output is a terminal.
Prepared PrepareCommand(const Invocation& invocation, const Console& console);

// Each subcommand's own preparation.
Prepared PrepareList(const QStringList& words);
Prepared PrepareWatch(const QStringList& words, std::optional<double> wait_seconds);
Prepared PrepareKey(const QStringList& words);
Prepared PrepareKeys(const QStringList& words);
Prepared PrepareSlot(const QStringList& words);
// What else wants standard output, which capture -o - writes to.
struct StandardOutput {
    bool json = false;      // --json prints its object there
    bool terminal = false;  // a terminal, where no picture goes
};
Prepared PrepareCapture(const QStringList& words, const QString& output, const QString& format = {},
                        StandardOutput standard_output = {});
Prepared PrepareTiming(const QStringList& words);
Prepared PrepareRom(const QStringList& words);
Prepared PrepareDoctor(const QStringList& words, const DeviceChoice& device);

// What talvo4ctl says of a ROM write of `path` that ran, `verdict` being the
// operation's last status text; returns the exit status.
int ReportRomWrite(const Outcome<RomWriteDetail>& outcome, const QString& verdict,
                   const QString& path, const DeviceLink& link, Console& console);

// What talvo4ctl says of a ROM check of `path` that ran; returns the exit
// status.
int ReportRomVerify(const Outcome<RomWriteDetail>& outcome, const QString& path,
                    const DeviceLink& link, Console& console);

// A device's or the system's own words (a serial number, a port path) for a
// column of text: no byte of them may break the column or reach the
// terminal as a control.
QString Printable(const std::string& text);

// One listed interface as list --json and watch --json give it: path,
// report lengths, state, port and serial (null where unknown), in_use_by.
QJsonObject InterfaceJson(const ListedInterface& interface,
                          const std::optional<LockHolder>& holder);

// Why the link gave up on the device, for "... after <how far>".
QString LostDeviceText(const DeviceLink& link);

// A usage error, or an input file that cannot be used, as a Prepared.
Prepared UsageError(const QString& text);
Prepared FileError(const QString& text);
// An input file that exists, is a regular file and can be read: its size;
// else the file error that says why not.
std::variant<qint64, Prepared> ReadableFileSize(const QString& path);
// The file error for an output file that cannot be written where it is
// named (found out before a device sequence spends its time); nullopt when
// it can.
std::optional<Prepared> UnwritableOutput(const QString& path);

// Runs the whole tool: parses, prepares, opens the device and runs the
// command. Returns the exit status.
int RunTool(const QStringList& arguments, FILE* out, FILE* err, Interrupts& interrupts);

}  // namespace talvo::cli
