#include "cli/command_line.h"

#include <QCommandLineParser>

#include "cli/simulation.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"

#ifndef TALVO_VERSION
#define TALVO_VERSION "unknown"
#endif

namespace talvo::cli {

QString HelpText() {
    return QStringLiteral(
               "Usage: talvo4ctl [OPTIONS] COMMAND [ARGUMENTS...]\n"
               "\n"
               "Drives the TALVO-4 video device from a terminal or a script: the same device\n"
               "sequences as the talvo4 windows, without a display.\n"
               "\n"
               "Commands:\n"
               "  list                      every TALVO-4 interface, its report lengths,\n"
               "                            whether this user can open it, its USB port path\n"
               "                            and serial number\n"
               "  watch                     a line for every TALVO-4 interface that arrives or\n"
               "                            leaves (the present ones first), until Ctrl+C or\n"
               "                            the end of --wait\n"
               "  key CODE|NAME...          send remote-control keys, each by its name (up,\n"
               "                            enter, overscan+ ...), its caption (05, 1B, H1\n"
               "                            ...), its button (Command1 ... Command36) or its\n"
               "                            key code (0x05 or 5); a number that is a caption\n"
               "                            is that button (15 is code 0x15), any other is\n"
               "                            decimal unless it starts with 0x; letter case\n"
               "                            does not matter\n"
               "  keys                      every key: name, caption, code and button\n"
               "  slot rec N                record the device's picture into image slot N (1-4)\n"
               "  slot show N               show image slot N (1-4)\n"
               "  slot live                 back to the live picture\n"
               "  capture -o FILE|-         capture one picture; FILE ends in .bmp (24-bit\n"
               "                            bitmap) or .png; - writes it to standard output\n"
               "  timing show               the fourteen timing parameters and the timing block\n"
               "  timing save FILE          save the timing data (257 bytes) read from the device\n"
               "  timing load FILE          write a timing data file to the device\n"
               "  timing set NAME=VALUE...  change timing parameters (h2pos=300 ...)\n"
               "  rom write FILE            write FILE into the ROM at ") +
           RomAddressText() +
           QStringLiteral(
               " and verify its\n"
               "                            checksum (the first 1 MiB of FILE)\n"
               "  rom verify FILE           compare the ROM's checksum with FILE's, writing\n"
               "                            nothing (exit status 1 when they differ)\n"
               "  doctor                    check, step by step, what stands between this user\n"
               "                            and the TALVO-4, and how to fix each problem\n"
               "\n"
               "Options:\n"
               "  --simulate                use the built-in simulated TALVO-4 instead of USB\n"
               "  --device PATH             use the TALVO-4 at PATH, or with usb:PORT the one\n"
               "                            plugged into USB port PORT (usb:1-2.3; see list);\n"
               "                            default: the first one found\n"
               "  --wait SECONDS            wait up to SECONDS for a TALVO-4 that is present\n"
               "                            and free, then run the command; watch: end after\n"
               "                            SECONDS\n"
               "  --trace                   print every report out (>) and in (<) as hex on\n"
               "                            standard error\n"
               "  -q, --quiet               print no progress and no notes, only results and\n"
               "                            errors\n"
               "  -o, --output FILE         the file capture writes\n"
               "  --format bmp|png          the picture's format when capture writes to\n"
               "                            standard output (-o -); default png\n"
               "  --json                    print one JSON object with the result on standard\n"
               "                            output (--help and --version stay text); watch\n"
               "                            prints one per event before it\n"
               "  --record FILE             write every report out and in, and the result, to\n"
               "                            FILE (JSON Lines; see talvo4ctl(1))\n"
               "  --replay FILE             answer from the recording FILE instead of a device;\n"
               "                            every report sent must be the recorded one\n"
               "  --replay-speed instant|recorded\n"
               "                            answer at once, or after the recorded waits\n"
               "                            (default)\n"
               "  -h, --help                show this help\n"
               "  -v, --version             show the version\n"
               "\n"
               "Ctrl+C before anything was sent ends the command with nothing sent (130).\n"
               "Ctrl+C stops a capture after the line in hand (the device still hears the end\n"
               "of the capture). A ROM write goes on after a first Ctrl+C, since the device\n"
               "expects all of its data; a second Ctrl+C aborts it and leaves the ROM area\n"
               "incomplete.\n"
               "\n"
               "One program at a time: a TALVO-4 that talvo4 or another talvo4ctl has open\n"
               "is in use, and every command but list leaves it alone (exit status 3).\n"
               "\n"
               "Exit status:\n"
               "  0    done\n"
               "  1    the device answered, but the operation failed (checksum mismatch,\n"
               "       picture rejected, wrong FPGA selection, timing base out of reach)\n"
               "  2    usage or input-file error; nothing was sent to the device\n"
               "  3    no TALVO-4 found, no permission to open it, or in use by another\n"
               "       program\n"
               "  4    the device vanished, fell silent or did not take a report during\n"
               "       the operation, or never reported its ROM checksum (rom verify)\n"
               "  5    --replay: the tool departed from the recording\n"
               "  130  interrupted by Ctrl+C\n"
               "\n"
               "With --simulate only:\n"
               "  --simulate-devices N      make N simulated TALVO-4s (1 to 64; default 1),\n"
               "                            at ports sim-1 to sim-N\n"
               "  --simulate-speed usb|instant\n"
               "                            usb: one report per 1 ms frame each way, as on\n"
               "                            the device; instant (the default): no waiting\n"
               "  --simulate-reset          the device opened starts as a fresh one\n"
               "\n"
               "Developer option, with --simulate only:\n"
               "  --simulate-fault FAULT    make the simulated device misbehave (repeatable):\n") +
           Simulation::FaultHelp();
}

QString RomAddressText() { return QStringLiteral("0x") + rom_texts::Hex(kRomAddress); }

QString VersionText() { return QStringLiteral("talvo4ctl " TALVO_VERSION); }

namespace {

// Whether --json stands among words the parser could not make sense of,
// before any "--" that ends the options.
bool JsonAmong(const QStringList& arguments) {
    for (const QString& word : arguments.mid(1)) {
        if (word == QLatin1String("--")) return false;
        if (word == QLatin1String("--json") || word == QLatin1String("-json")) return true;
    }
    return false;
}

// What is wrong with --record, --replay and --replay-speed; nullopt where
// nothing is.
std::optional<QString> FieldKitUsageError(const QStringList& record, const QStringList& replay,
                                          const QStringList& speed, bool device_chosen) {
    if (record.size() > 1) return QStringLiteral("--record given twice");
    if (replay.size() > 1) return QStringLiteral("--replay given twice");
    if (speed.size() > 1) return QStringLiteral("--replay-speed given twice");
    if (!speed.isEmpty() && replay.isEmpty())
        return QStringLiteral("--replay-speed needs --replay");
    if (!speed.isEmpty() && speed.front() != QLatin1String("instant") &&
        speed.front() != QLatin1String("recorded"))
        return QStringLiteral("--replay-speed takes instant or recorded, not \"%1\"")
            .arg(speed.front());
    if (!replay.isEmpty() && device_chosen)
        return QStringLiteral("--replay is the device: it takes no --simulate or --device");
    return std::nullopt;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption simulate(QStringLiteral("simulate"));
    const QCommandLineOption fault(QStringLiteral("simulate-fault"), QString(),
                                   QStringLiteral("FAULT"));
    const QCommandLineOption devices(QStringLiteral("simulate-devices"), QString(),
                                     QStringLiteral("N"));
    const QCommandLineOption speed(QStringLiteral("simulate-speed"), QString(),
                                   QStringLiteral("SPEED"));
    const QCommandLineOption reset(QStringLiteral("simulate-reset"));
    const QCommandLineOption device(QStringLiteral("device"), QString(), QStringLiteral("PATH"));
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption wait(QStringLiteral("wait"), QString(), QStringLiteral("SECONDS"));
    const QCommandLineOption quiet(QStringList{QStringLiteral("q"), QStringLiteral("quiet")});
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("FILE"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("FORMAT"));
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption record(QStringLiteral("record"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption replay(QStringLiteral("replay"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption replay_speed(QStringLiteral("replay-speed"), QString(),
                                          QStringLiteral("SPEED"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    parser.addOptions({simulate, fault, devices, speed, reset, device, trace, wait, quiet, output,
                       format, json, record, replay, replay_speed, help, version});

    ParsedCommandLine parsed;
    const auto usage = [&parsed](const QString& text) {
        parsed.usage_error = true;
        parsed.message = QStringLiteral("talvo4ctl: %1\nTry 'talvo4ctl --help'.").arg(text);
        return parsed;
    };
    const bool parsed_whole = parser.parse(arguments);
    parsed.json = parsed_whole ? parser.isSet(json) : JsonAmong(arguments);
    if (!parsed_whole) return usage(parser.errorText());
    if (parser.isSet(help)) {
        parsed.message = HelpText();
        return parsed;
    }
    if (parser.isSet(version)) {
        parsed.message = VersionText();
        return parsed;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) return usage(QStringLiteral("no command given"));
    for (const QCommandLineOption* simulated : {&fault, &devices, &speed, &reset})
        if (parser.isSet(*simulated) && !parser.isSet(simulate))
            return usage(QStringLiteral("--%1 needs --simulate").arg(simulated->names().front()));
    if (parser.values(device).size() > 1) return usage(QStringLiteral("--device given twice"));
    if (parser.values(output).size() > 1) return usage(QStringLiteral("--output given twice"));
    if (parser.values(wait).size() > 1) return usage(QStringLiteral("--wait given twice"));
    if (parser.values(format).size() > 1) return usage(QStringLiteral("--format given twice"));
    if (const auto problem = FieldKitUsageError(parser.values(record), parser.values(replay),
                                                parser.values(replay_speed),
                                                parser.isSet(simulate) || parser.isSet(device)))
        return usage(*problem);

    Invocation invocation;
    invocation.device.simulate = parser.isSet(simulate);
    invocation.device.faults = parser.values(fault);
    if (parser.isSet(devices)) {
        bool ok = false;
        const int count = parser.value(devices).toInt(&ok);
        if (!ok || count < 1 || count > sim::SimulatedDevices::kMost)
            return usage(QStringLiteral("--simulate-devices takes a number from 1 to %1, not "
                                        "\"%2\"")
                             .arg(sim::SimulatedDevices::kMost)
                             .arg(parser.value(devices)));
        invocation.device.simulated_devices = count;
    }
    if (parser.isSet(speed)) {
        const auto named = sim::LinkSpeedNamed(parser.value(speed).toStdString());
        if (!named)
            return usage(QStringLiteral("--simulate-speed takes usb or instant, not \"%1\"")
                             .arg(parser.value(speed)));
        invocation.device.simulated_speed = *named;
    }
    invocation.device.simulate_reset = parser.isSet(reset);
    invocation.device.path = parser.value(device);
    invocation.device.trace = parser.isSet(trace);
    invocation.quiet = parser.isSet(quiet);
    invocation.json = parsed.json;
    invocation.output = parser.value(output);
    invocation.format = parser.value(format);
    invocation.command = positional.front();
    invocation.words = positional.mid(1);
    invocation.device.record = parser.value(record);
    invocation.device.replay = parser.value(replay);
    invocation.device.replay_instant = parser.value(replay_speed) == QLatin1String("instant");
    invocation.device.command_line = positional;
    if (parser.isSet(output)) invocation.device.command_line << "-o" << invocation.output;
    if (parser.isSet(format)) invocation.device.command_line << "--format" << invocation.format;
    if (!invocation.output.isEmpty() && invocation.command != QLatin1String("capture"))
        return usage(QStringLiteral("--output belongs to capture only"));
    if (parser.isSet(format) && invocation.command != QLatin1String("capture"))
        return usage(QStringLiteral("--format belongs to capture only"));
    if (parser.isSet(wait)) {
        bool ok = false;
        const double seconds = parser.value(wait).toDouble(&ok);
        // Written so that NaN fails too.
        if (!ok || !(seconds >= 0 && seconds <= kLongestWait))
            return usage(QStringLiteral("--wait takes a number of seconds from 0 to %1, not "
                                        "\"%2\"")
                             .arg(kLongestWait)
                             .arg(parser.value(wait)));
        if (invocation.command == QLatin1String("list") ||
            invocation.command == QLatin1String("doctor"))
            return usage(invocation.command + QStringLiteral(" does not wait"));
        invocation.wait_seconds = seconds;
    }
    parsed.invocation = std::move(invocation);
    return parsed;
}

}  // namespace talvo::cli
