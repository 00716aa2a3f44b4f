#include "cli/field_kit.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonDocument>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/recording_file.h"

namespace talvo::cli {
namespace {

std::string Sha256Of(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) return {};
    return hash.result().toHex().toStdString();
}

QString What(const std::string& kind, const std::string& hex) {
    if (kind == "end") return QStringLiteral("nothing more");
    if (kind == "read") return QStringLiteral("a read");
    return QString::fromStdString(kind + " " + hex);
}

}  // namespace

QString DepartureText(const Departure& departure) {
    return QStringLiteral(
               "talvo4ctl: departed from the recording at report %1: recorded %2, sent %3")
        .arg(departure.index)
        .arg(What(departure.recorded_kind, departure.recorded),
             What(departure.sent_kind, departure.sent));
}

std::unique_ptr<FieldKit> FieldKit::Replay(const DeviceChoice& choice, Console& console) {
    auto read = ReadRecordingFile(choice.replay);
    if (const QString* error = std::get_if<QString>(&read)) {
        console.error(QStringLiteral("talvo4ctl: ") + *error);
        return nullptr;
    }
    auto kit = std::make_unique<FieldKit>();
    kit->replay_ = std::make_unique<ReplayPlatform>(
        std::move(std::get<RecordingFile>(read).recording), !choice.replay_instant);
    return kit;
}

HidPlatform* FieldKit::record(HidPlatform& inner, const DeviceChoice& choice, Console& console) {
    std::vector<std::string> command;
    for (const QString& word : choice.command_line) command.push_back(word.toStdString());
    std::string error;
    recording_ = RecordingPlatform::Create(inner, QFile::encodeName(choice.record).toStdString(),
                                           VersionText().toStdString(), std::move(command), error);
    if (!recording_) console.error(QStringLiteral("talvo4ctl: ") + QString::fromStdString(error));
    record_path_ = choice.record;
    return recording_.get();
}

int FieldKit::finish(int status, const QString& output, Context& context) {
    if (replay_) {
        replay_->finish();
        if (const auto& departure = replay_->departure()) {
            context.console.error(DepartureText(*departure));
            context.report.insert(QStringLiteral("diverged_at"), qint64(departure->index));
            context.report.insert(QStringLiteral("recorded"),
                                  QString::fromStdString(departure->recorded));
            context.report.insert(QStringLiteral("sent"), QString::fromStdString(departure->sent));
            context.report.setReason(Reason::Diverged);
            status = kExitDiverged;
        } else if (!replay_->lengths()) {
            context.console.error(
                QStringLiteral("talvo4ctl: the recorded report descriptor gives other report "
                               "lengths than the recording states"));
            context.report.setReason(Reason::Diverged);
            status = kExitDiverged;
        }
    }
    if (recording_) {
        const QJsonObject result = context.report.object(status, context.console.errors());
        const bool wrote_file = !output.isEmpty() && output != QLatin1String("-");
        recording_->writeResult(QJsonDocument(result).toJson(QJsonDocument::Compact).toStdString(),
                                wrote_file ? Sha256Of(output) : std::string());
        if (!recording_->intact())
            context.console.warn(
                QStringLiteral("talvo4ctl: %1: the recording could not be written in full")
                    .arg(record_path_));
    }
    return status;
}

}  // namespace talvo::cli
