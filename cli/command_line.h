#pragma once
// talvo4ctl's command line: global options, a subcommand and its words.

#include <QString>
#include <QStringList>
#include <optional>

#include "cli/session.h"

namespace talvo::cli {

struct Invocation {
    DeviceChoice device;
    bool quiet = false;
    bool json = false;  // --json: one object with the result on standard output
    QString output;     // capture -o; "-" is standard output
    QString format;     // capture --format: "bmp", "png", or empty
    // --wait: how long to wait for a TALVO-4 that is present, openable and
    // free; nullopt: not at all.
    std::optional<double> wait_seconds;
    QString command;
    QStringList words;  // after the subcommand
};

struct ParsedCommandLine {
    std::optional<Invocation> invocation;
    // Set when there is nothing to run: the help or version text (exit 0),
    // or a usage error (exit 2).
    QString message;
    bool usage_error = false;
    // --json was among the words, also where they could not be parsed.
    bool json = false;
};

ParsedCommandLine ParseCommandLine(const QStringList& arguments);

QString HelpText();
QString VersionText();
// The longest --wait, in seconds.
inline constexpr double kLongestWait = 86400;

// The one ROM address the tool writes to, as it names it ("0xE8000").
QString RomAddressText();

}  // namespace talvo::cli
