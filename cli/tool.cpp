#include "cli/commands.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>
#include <chrono>
#include <cstring>

#include "cli/device_wait.h"
#include "cli/field_kit.h"

namespace talvo::cli {

Prepared UsageError(const QString& text) { return {nullptr, text, false}; }

Prepared FileError(const QString& text) { return {nullptr, text, true}; }

std::variant<qint64, Prepared> ReadableFileSize(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) return FileError(QStringLiteral("%1: no such file").arg(path));
    if (!file.isFile()) return FileError(QStringLiteral("%1: not a regular file").arg(path));
    QFile readable(path);
    if (!readable.open(QIODevice::ReadOnly))
        return FileError(QStringLiteral("%1: cannot be read").arg(path));
    return readable.size();
}

std::optional<Prepared> UnwritableOutput(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (file.isDir() || !folder.isDir() || !folder.isWritable())
        return FileError(QStringLiteral("%1: cannot write a file there").arg(path));
    return std::nullopt;
}

QString LostDeviceText(const DeviceLink& link) {
    const auto& health = link.health();
    // Still there, but it did not take a report: no unplug, and no replug needed.
    if (health.write_errors_in_a_row > 0)
        return QStringLiteral("the TALVO-4 did not take a report (write error: %1; %2 tries)")
            .arg(health.last_write_error != 0
                     ? QString::fromLocal8Bit(strerror(health.last_write_error))
                     : QStringLiteral("cut short"))
            .arg(DeviceLink::kWriteAttempts);
    if (health.failed_writes_in_a_row > 0 || health.failed_reads_in_a_row > 0)
        return QStringLiteral("the TALVO-4 vanished (its reports could no longer be %1)")
            .arg(health.failed_writes_in_a_row > 0 ? QStringLiteral("sent")
                                                   : QStringLiteral("read"));
    // A sequence that cannot go on without one answer ends at the first.
    if (health.silent_reads_in_a_row > 0 &&
        health.silent_reads_in_a_row < DeviceLink::kSilentReadsForLost)
        return QStringLiteral("the TALVO-4 gave no answer within %1 ms").arg(kResponseWait.count());
    return QStringLiteral("the TALVO-4 fell silent (%1 reads in a row got no answer)")
        .arg(health.silent_reads_in_a_row);
}

namespace {

// A device in use says nothing when its holder lets go of it: --wait looks
// at it again this often.
constexpr std::chrono::seconds kBusyLook{1};

// Opens the device, with --wait until it is present, openable and free.
// Returns kExitDone once it is open, else the exit status; no report goes
// out before the device is open.
int OpenDevice(Session& session, std::optional<double> wait_seconds, Console& console,
               const Interrupts& interrupts, Report& report) {
    using Clock = DeviceWait::Clock;
    const bool waits = wait_seconds.value_or(0) > 0;
    // Listening from before the first look, so that no arrival falls between.
    DeviceWait wait(waits ? session.monitor() : nullptr);
    auto unavailable = session.open();
    if (!unavailable) return kExitDone;
    if (waits && !unavailable->lasting) {
        const QString seconds = QString::number(*wait_seconds);
        const Clock::time_point start = Clock::now();
        const Clock::time_point deadline =
            start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(*wait_seconds));
        console.note(QStringLiteral("talvo4ctl: waiting up to %1 s for the TALVO-4: %2")
                         .arg(seconds, unavailable->reason));
        for (;;) {
            const Clock::time_point look_at = unavailable->cause == Reason::Busy
                                                  ? std::min(deadline, Clock::now() + kBusyLook)
                                                  : deadline;
            if (wait.wait(look_at, interrupts) == DeviceWait::Woken::Interrupted) {
                console.error(
                    QStringLiteral("talvo4ctl: interrupted while waiting for the "
                                   "TALVO-4; nothing was sent"));
                return kExitInterrupted;
            }
            unavailable = session.open();
            if (!unavailable) {
                const std::chrono::duration<double> waited = Clock::now() - start;
                console.note(QStringLiteral("talvo4ctl: got the TALVO-4 at %1 after %2 s")
                                 .arg(QString::fromStdString(session.link().DevicePath))
                                 .arg(waited.count(), 0, 'f', 1));
                return kExitDone;
            }
            if (unavailable->lasting || Clock::now() >= deadline) break;
        }
        console.error(unavailable->message);
        console.error(QStringLiteral("talvo4ctl: gave up after waiting %1 s").arg(seconds));
    } else {
        console.error(unavailable->message);
    }
    report.setReason(unavailable->cause);
    return kExitNoDevice;
}

// Everything but the closing object: returns the exit status.
int Run(const ParsedCommandLine& parsed, Console& console, Context& context) {
    if (!parsed.invocation) {
        if (parsed.usage_error) {
            console.error(parsed.message);
            return kExitUsage;
        }
        console.out(parsed.message);
        return kExitDone;
    }
    const Invocation& invocation = *parsed.invocation;
    Prepared prepared = PrepareCommand(invocation, console);
    if (!prepared.command) {
        console.error(
            QStringLiteral("talvo4ctl: ") + prepared.usage_error +
            (prepared.file_error ? QString() : QStringLiteral("\nTry 'talvo4ctl --help'.")));
        return kExitUsage;
    }
    auto session = Session::Create(invocation.device, console);
    if (!session) return kExitUsage;
    int status = kExitDone;
    if (prepared.command->needsDevice()) {
        status = OpenDevice(*session, invocation.wait_seconds, console, context.interrupts,
                            context.report);
        // Pressed while the device was opened or looked for: the user
        // wanted nothing sent, as during the wait.
        if (status == kExitDone && context.interrupts.presses() > 0) {
            console.error(QStringLiteral("talvo4ctl: interrupted by Ctrl+C; nothing was sent"));
            status = kExitInterrupted;
        }
    }
    if (status == kExitDone) status = prepared.command->run(*session, context);
    if (FieldKit* kit = session->fieldKit()) return kit->finish(status, invocation.output, context);
    return status;
}

}  // namespace

Prepared PrepareCommand(const Invocation& invocation, const Console& console) {
    const QString& name = invocation.command;
    if (name == QLatin1String("list")) return PrepareList(invocation.words);
    if (name == QLatin1String("key")) return PrepareKey(invocation.words);
    if (name == QLatin1String("keys")) return PrepareKeys(invocation.words);
    if (name == QLatin1String("slot")) return PrepareSlot(invocation.words);
    if (name == QLatin1String("capture"))
        return PrepareCapture(invocation.words, invocation.output, invocation.format,
                              {invocation.json, console.outputIsTerminal()});
    if (name == QLatin1String("timing")) return PrepareTiming(invocation.words);
    if (name == QLatin1String("rom")) return PrepareRom(invocation.words);
    if (name == QLatin1String("doctor")) return PrepareDoctor(invocation.words, invocation.device);
    if (name == QLatin1String("watch"))
        return PrepareWatch(invocation.words, invocation.wait_seconds);
    return UsageError(QStringLiteral("unknown command \"%1\"").arg(name));
}

int RunTool(const QStringList& arguments, FILE* out, FILE* err, Interrupts& interrupts) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    // --help and --version stay text.
    const bool json =
        parsed.invocation ? parsed.invocation->json : parsed.json && parsed.usage_error;
    Console console(out, err, parsed.invocation && parsed.invocation->quiet, json);
    Context context{console, interrupts};
    int exit_code = Run(parsed, console, context);
    if (json) {
        const QJsonObject object = context.report.object(exit_code, console.errors());
        const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out);
    }
    // A script must not read exit 0 where its result never arrived. The
    // error indicator keeps every failed write since the start.
    if ((std::fflush(out) != 0 || std::ferror(out)) && exit_code == kExitDone) {
        console.error(
            QStringLiteral("talvo4ctl: the result could not be written to standard "
                           "output (closed, or the disk is full)"));
        exit_code = kExitFailed;
    }
    return exit_code;
}

}  // namespace talvo::cli
