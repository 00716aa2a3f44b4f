#include "cli/recording_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace talvo::cli {
namespace {

QString Key(const char* key) { return QLatin1String(key); }

std::optional<uint16_t> Identifier(const QJsonValue& value) {
    bool ok = false;
    const uint value_read = value.toString().toUInt(&ok, 0);
    if (!ok || value_read > 0xFFFF) return std::nullopt;
    return uint16_t(value_read);
}

std::optional<uint16_t> Length(const QJsonValue& value) {
    const double length = value.toDouble(-1);
    if (!(length >= 0 && length <= 0xFFFF) || length != double(int(length))) return std::nullopt;
    return uint16_t(length);
}

std::optional<std::vector<uint8_t>> Bytes(const QJsonValue& value) {
    if (!value.isString()) return std::nullopt;
    return BytesOfHex(value.toString().toStdString());
}

// The first line; false where it is not one this tool can read.
bool ReadHeader(const QJsonObject& line, RecordingFile& file, QString& error) {
    using namespace recording;
    if (line.value(Key(kFormat)).toString() != QLatin1String(kFormatName)) {
        error = QStringLiteral("not a TALVO-4 recording");
        return false;
    }
    const int version = line.value(Key(kVersion)).toInt(-1);
    if (version < 1 || version > kFormatVersion) {
        error = QStringLiteral("recording format version %1; this talvo4ctl reads up to %2")
                    .arg(version)
                    .arg(kFormatVersion);
        return false;
    }
    RecordingHeader& header = file.recording.header;
    header.tool = line.value(Key(kTool)).toString().toStdString();
    for (const QJsonValue word : line.value(Key(kCommand)).toArray()) {
        file.command << word.toString();
        header.command.push_back(word.toString().toStdString());
    }
    const auto vendor = Identifier(line.value(Key(kVendor)));
    const auto product = Identifier(line.value(Key(kProduct)));
    const auto input = Length(line.value(Key(kInputLength)));
    const auto output = Length(line.value(Key(kOutputLength)));
    const auto descriptor = Bytes(line.value(Key(kDescriptor)));
    if (!vendor || !product || !input || !output || !descriptor) {
        error = QStringLiteral("its first line names no device (no report went to one)");
        return false;
    }
    header.attributes = {*vendor, *product, Identifier(line.value(Key(kRelease))).value_or(0)};
    header.node = line.value(Key(kNode)).toString().toStdString();
    header.port = line.value(Key(kPort)).toString().toStdString();
    header.caps.InputReportByteLength = *input;
    header.caps.OutputReportByteLength = *output;
    header.descriptor = *descriptor;
    return true;
}

std::optional<RecordedReport> ReadReport(const QJsonObject& line) {
    using namespace recording;
    RecordedReport report;
    report.out = line.contains(Key(kOut));
    const auto bytes = Bytes(line.value(Key(report.out ? kOut : kIn)));
    if (!bytes) return std::nullopt;
    report.bytes = *bytes;
    report.failed = line.value(Key(report.out ? kWriteFailed : kReadFailed)).toBool();
    report.write_error = line.value(Key(kWriteError)).toInt();
    report.timed_out = !report.out && line.value(Key(kTimedOut)).toBool();
    report.waited_ms = std::max(0.0, line.value(Key(kWaited)).toDouble());
    return report;
}

}  // namespace

std::variant<RecordingFile, QString> ReadRecordingFile(const QString& path) {
    QFile input(path);
    if (!input.open(QIODevice::ReadOnly)) return QStringLiteral("%1: cannot be read").arg(path);
    RecordingFile file;
    int number = 0;
    while (!input.atEnd()) {
        const QByteArray text = input.readLine().trimmed();
        ++number;
        if (text.isEmpty()) continue;
        const auto failed = [&](const QString& why) {
            return QStringLiteral("%1 line %2: %3").arg(path).arg(number).arg(why);
        };
        QJsonParseError parse_error;
        const QJsonDocument document = QJsonDocument::fromJson(text, &parse_error);
        if (!document.isObject()) return failed(QStringLiteral("not a JSON object"));
        const QJsonObject line = document.object();
        if (number == 1) {
            QString error;
            if (!ReadHeader(line, file, error)) return failed(error);
        } else if (line.contains(Key(recording::kResult))) {
            file.result = line.value(Key(recording::kResult)).toObject();
            file.output_sha256 = line.value(Key(recording::kOutputSha256)).toString();
        } else if (const auto report = ReadReport(line)) {
            file.recording.reports.push_back(*report);
        } else {
            return failed(QStringLiteral("neither a report out nor one in"));
        }
    }
    if (number == 0) return QStringLiteral("%1: empty, not a TALVO-4 recording").arg(path);
    return file;
}

}  // namespace talvo::cli
