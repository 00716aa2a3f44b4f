#pragma once
// Reads a recording (device/recording.h) written by --record, for --replay
// and for the tests that replay every recording they are given. A
// recording is a user's file: any line may be malformed.

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

#include "device/recording.h"

namespace talvo::cli {

struct RecordingFile {
    Recording recording;
    // The command line it replays with, as recorded ("key", "up").
    QStringList command;
    // What the tool said at the end (its --json object); nullopt where the
    // recording stops before.
    std::optional<QJsonObject> result;
    // The SHA-256 (hex) of the file the command wrote; empty where none.
    QString output_sha256;
};

// The recording, or why it cannot be used (one line, naming the file and,
// where it is one line's fault, the line).
std::variant<RecordingFile, QString> ReadRecordingFile(const QString& path);

}  // namespace talvo::cli
