#include "cli/commands.h"

#include <QFile>
#include <QFileInfo>

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
    if (health.failed_writes_in_a_row > 0 || health.failed_reads_in_a_row > 0)
        return QStringLiteral("the TALVO-4 vanished (its reports could no longer be %1)")
            .arg(health.failed_writes_in_a_row > 0 ? QStringLiteral("sent")
                                                   : QStringLiteral("read"));
    return QStringLiteral("the TALVO-4 fell silent (%1 reads in a row got no answer)")
        .arg(health.silent_reads_in_a_row);
}

Prepared PrepareCommand(const Invocation& invocation) {
    const QString& name = invocation.command;
    if (name == QLatin1String("list")) return PrepareList(invocation.words);
    if (name == QLatin1String("key")) return PrepareKey(invocation.words);
    if (name == QLatin1String("slot")) return PrepareSlot(invocation.words);
    if (name == QLatin1String("capture"))
        return PrepareCapture(invocation.words, invocation.output);
    if (name == QLatin1String("timing")) return PrepareTiming(invocation.words);
    if (name == QLatin1String("rom")) return PrepareRom(invocation.words);
    return UsageError(QStringLiteral("unknown command \"%1\"").arg(name));
}

int RunTool(const QStringList& arguments, FILE* out, FILE* err, Interrupts& interrupts) {
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (!parsed.invocation) {
        Console console(out, err, false);
        if (parsed.usage_error) {
            console.error(parsed.message);
            return kExitUsage;
        }
        console.out(parsed.message);
        return kExitDone;
    }
    const Invocation& invocation = *parsed.invocation;
    Console console(out, err, invocation.quiet);
    Prepared prepared = PrepareCommand(invocation);
    if (!prepared.command) {
        console.error(
            QStringLiteral("talvo4ctl: ") + prepared.usage_error +
            (prepared.file_error ? QString() : QStringLiteral("\nTry 'talvo4ctl --help'.")));
        return kExitUsage;
    }
    auto session = Session::Create(invocation.device, console);
    if (!session) return kExitUsage;
    if (prepared.command->needsDevice() && !session->connect()) return kExitNoDevice;
    Context context{console, interrupts};
    return prepared.command->run(*session, context);
}

}  // namespace talvo::cli
