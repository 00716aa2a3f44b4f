#include "cli/report.h"

#include <QJsonValue>

#include "cli/exit_codes.h"

namespace talvo::cli {
namespace {

struct ReasonRow {
    Reason reason;
    const char* word;
    int exit_code;
};

// The one table of reasons. The first row of an exit status is its reason
// when the command gave no finer one.
constexpr ReasonRow kReasonRows[] = {
    {Reason::Done, "done", kExitDone},
    {Reason::Failed, "failed", kExitFailed},
    {Reason::Usage, "usage", kExitUsage},
    {Reason::NoDevice, "no-device", kExitNoDevice},
    {Reason::NoPermission, "no-permission", kExitNoDevice},
    {Reason::Busy, "busy", kExitNoDevice},
    {Reason::DeviceLost, "device-lost", kExitDeviceLost},
    {Reason::DeviceSilent, "device-silent", kExitDeviceLost},
    {Reason::NoAnswer, "no-answer", kExitDeviceLost},
    {Reason::Diverged, "diverged", kExitDiverged},
    {Reason::WriteError, "write-error", kExitDeviceLost},
    {Reason::Interrupted, "interrupted", kExitInterrupted},
};

const ReasonRow& RowOf(Reason reason) {
    for (const ReasonRow& row : kReasonRows)
        if (row.reason == reason) return row;
    return kReasonRows[1];
}

QString PhaseWord(RomWritePhase phase) {
    switch (phase) {
        case RomWritePhase::FileCheck:
            return QStringLiteral("file-check");
        case RomWritePhase::Erase:
            return QStringLiteral("erase");
        case RomWritePhase::Transfer:
            return QStringLiteral("transfer");
        case RomWritePhase::TransferEnd:
            return QStringLiteral("transfer-end");
        case RomWritePhase::Verify:
            return QStringLiteral("verify");
        case RomWritePhase::Done:
            break;
    }
    return {};
}

QJsonValue SumValue(const std::optional<uint16_t>& sum) {
    return sum ? QJsonValue(Hex4(*sum)) : QJsonValue(QJsonValue::Null);
}

}  // namespace

QString ReasonWord(Reason reason) { return QLatin1String(RowOf(reason).word); }

int ExitCodeOf(Reason reason) { return RowOf(reason).exit_code; }

Reason DefaultReason(int exit_code) {
    for (const ReasonRow& row : kReasonRows)
        if (row.exit_code == exit_code) return row.reason;
    return Reason::Failed;
}

void Report::insert(const QJsonObject& facts) {
    for (auto fact = facts.begin(); fact != facts.end(); ++fact) facts_.insert(fact.key(), *fact);
}

QJsonObject Report::object(int exit_code, const QString& error) const {
    const Reason reason =
        reason_ && ExitCodeOf(*reason_) == exit_code ? *reason_ : DefaultReason(exit_code);
    QJsonObject object = facts_;
    object.insert(QStringLiteral("ok"), exit_code == kExitDone);
    object.insert(QStringLiteral("reason"), ReasonWord(reason));
    object.insert(QStringLiteral("exit_code"), exit_code);
    if (exit_code != kExitDone && !error.isEmpty()) object.insert(QStringLiteral("error"), error);
    return object;
}

int DeviceWentExit(Report& report, Ending ending) {
    report.setReason(ending == Ending::DeviceSilent  ? Reason::DeviceSilent
                     : ending == Ending::WriteFailed ? Reason::WriteError
                                                     : Reason::DeviceLost);
    return kExitDeviceLost;
}

int RomDeviceExit(Report& report, const Outcome<RomWriteDetail>& outcome) {
    if (!outcome.done()) return DeviceWentExit(report, outcome.ending);
    report.setReason(Reason::NoAnswer);
    return kExitDeviceLost;
}

QString Hex4(uint16_t sum) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(sum, 4, 16, QLatin1Char('0')).toUpper();
}

QJsonObject RomSumsJson(const RomSums& sums) {
    QJsonObject object{{QStringLiteral("file"), sums.file},
                       {QStringLiteral("length"), qint64(sums.length)},
                       {QStringLiteral("file_sum"), SumValue(sums.file_sum)},
                       {QStringLiteral("device_sum"), SumValue(sums.device_sum)}};
    if (sums.verdict == RomWriteResult::SumsMatch)
        object.insert(QStringLiteral("verdict"), QStringLiteral("match"));
    else if (sums.verdict == RomWriteResult::SumsDiffer)
        object.insert(QStringLiteral("verdict"), QStringLiteral("differ"));
    else if (sums.verdict == RomWriteResult::NoChecksumAnswer)
        object.insert(QStringLiteral("verdict"), QStringLiteral("no-answer"));
    if (!sums.phase.isEmpty()) object.insert(QStringLiteral("phase"), sums.phase);
    return object;
}

RomSums RomSumsOf(const QString& path, int64_t length, const Outcome<RomWriteDetail>& outcome) {
    const RomWriteDetail& detail = outcome.detail;
    RomSums sums;
    sums.file = path;
    sums.length = length;
    const bool summed =
        detail.result == RomWriteResult::SumsMatch || detail.result == RomWriteResult::SumsDiffer;
    if (outcome.done() && (summed || detail.result == RomWriteResult::NoChecksumAnswer)) {
        sums.verdict = detail.result;
        sums.file_sum = detail.file_sum;
        if (summed) sums.device_sum = detail.device_sum;
    } else {
        sums.phase = PhaseWord(detail.phase);
    }
    return sums;
}

}  // namespace talvo::cli
