#include <QFile>
#include <QFileInfo>
#include <optional>

#include "cli/commands.h"
#include "cli/progress.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/rom_write.h"
#include "rom/sleep_inhibitor.h"

namespace talvo::cli {
namespace {

// The only address offered: another could overwrite what the device runs.
constexpr int32_t kRomAddress = 0xE8000;

QString Hex4(uint16_t sum) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(sum, 4, 16, QLatin1Char('0')).toUpper();
}

class RomWriteCommand : public Command {
  public:
    explicit RomWriteCommand(QString path) : path_(std::move(path)) {}

    int run(Session& session, Context& context) override {
        Console& console = context.console;
        DeviceLink& link = session.link();
        const rom::WritePlan plan = rom::PlanWrite(QFileInfo(path_).size());
        console.note(QStringLiteral("writing %1 bytes of %2 into the ROM at 0x%3 (%4 block and %5 "
                                    "sector erases first)")
                         .arg(plan.transfer_length)
                         .arg(path_)
                         .arg(QString::number(kRomAddress, 16).toUpper())
                         .arg(plan.blocks)
                         .arg(plan.sectors));

        Progress progress(console, Progress::StyleFor(console), QStringLiteral("ROM write"),
                          Progress::Unit::Bytes);
        QString verdict;
        rom::RomWriteObserver observer;
        observer.status = [&verdict](const QString& text) { verdict = text; };
        observer.progress = [&progress](int64_t sent, int64_t total) {
            progress.update(sent, total);
        };
        bool first_press_said = false;
        const auto on_pass = [&] {
            if (first_press_said || context.interrupts.presses() == 0) return;
            first_press_said = true;
            progress.clearLine();
            console.error(QStringLiteral(
                "talvo4ctl: Ctrl+C: the ROM write goes on, since the device expects all of its "
                "data. Press Ctrl+C again to abort it; the ROM area then stays incomplete."));
        };
        SleepingPacer pacer(
            kMainTick, [&] { return context.interrupts.presses() > 1; }, on_pass);
        rom::RomWriteOptions options;
        options.end_when_device_lost = true;

        // A machine that suspends in the middle leaves the ROM area half
        // written: keep it awake from the first erase to the verdict.
        std::optional<rom::SleepInhibitor> no_sleep(std::in_place, QStringLiteral("talvo4ctl"));
        if (!no_sleep->held())
            console.error(QStringLiteral("talvo4ctl: cannot keep the machine awake during the "
                                         "write (%1); going on without")
                              .arg(no_sleep->failure()));
        const rom::RomWriteOutcome outcome =
            rom::WriteRom(link, kRomAddress, path_, pacer, observer, options);
        no_sleep.reset();
        if (outcome.phase != rom::RomWritePhase::FileCheck) progress.finish();
        const QString how_far = HowFar(outcome);
        switch (outcome.result) {
            case rom::RomWriteResult::SumsMatch:
                console.out(verdict);
                console.note(QStringLiteral("written and verified: the sums match (%1)")
                                 .arg(Hex4(outcome.device_sum)));
                return kExitDone;
            case rom::RomWriteResult::SumsDiffer:
                console.out(verdict);
                console.error(QStringLiteral("talvo4ctl: the ROM's sum %1 differs from the "
                                             "file's sum %2: the write failed")
                                  .arg(Hex4(outcome.device_sum), Hex4(outcome.file_sum)));
                return kExitFailed;
            case rom::RomWriteResult::NoChecksumAnswer:
                console.error(QStringLiteral("talvo4ctl: every byte was sent, but the device "
                                             "never reported its checksum ready (%1)")
                                  .arg(rom::texts::kNoChecksum));
                return kExitFailed;
            case rom::RomWriteResult::EmptyFile:
                console.error(
                    QStringLiteral("talvo4ctl: %1 is empty; nothing was sent").arg(path_));
                return kExitUsage;
            case rom::RomWriteResult::UnreadableFile:
                console.error(QStringLiteral("talvo4ctl: %1 could not be read %2")
                                  .arg(path_, outcome.phase == rom::RomWritePhase::FileCheck
                                                  ? QStringLiteral("; nothing was sent")
                                                  : QStringLiteral("again to verify it (") +
                                                        how_far + QLatin1Char(')')));
                return kExitUsage;
            case rom::RomWriteResult::Aborted:
                console.error(QStringLiteral("talvo4ctl: ROM write aborted by a second Ctrl+C %1")
                                  .arg(how_far));
                return kExitInterrupted;
            case rom::RomWriteResult::DeviceLost:
                break;
        }
        console.error(QStringLiteral("talvo4ctl: %1 %2").arg(LostDeviceText(link), how_far));
        return kExitDeviceLost;
    }

  private:
    static QString HowFar(const rom::RomWriteOutcome& outcome) {
        switch (outcome.phase) {
            case rom::RomWritePhase::FileCheck:
                return QStringLiteral("before anything was sent");
            case rom::RomWritePhase::Erase:
                return QStringLiteral(
                    "while erasing: nothing was written, but the ROM area at "
                    "0xE8000 may be partly erased");
            case rom::RomWritePhase::Transfer:
                return QStringLiteral(
                           "after %1 of %2 bytes: the ROM area at 0xE8000 is "
                           "incomplete")
                    .arg(outcome.bytes_sent)
                    .arg(outcome.transfer_length);
            case rom::RomWritePhase::TransferEnd:
            case rom::RomWritePhase::Verify:
                return QStringLiteral(
                           "after all %1 bytes were sent, before the checksum was "
                           "compared: the write is not verified")
                    .arg(outcome.transfer_length);
            case rom::RomWritePhase::Done:
                break;
        }
        return QStringLiteral("after the verdict");
    }

    QString path_;
};

}  // namespace

Prepared PrepareRom(const QStringList& words) {
    if (words.size() != 2 || words[0] != QLatin1String("write"))
        return UsageError(QStringLiteral("use rom write FILE"));
    const QString& path = words[1];
    auto size = ReadableFileSize(path);
    if (auto* problem = std::get_if<Prepared>(&size)) return std::move(*problem);
    if (std::get<qint64>(size) == 0)
        return FileError(QStringLiteral("%1: the file is empty").arg(path));
    return {std::make_unique<RomWriteCommand>(path), {}};
}

}  // namespace talvo::cli
