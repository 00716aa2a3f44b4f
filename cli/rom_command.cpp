#include <QFile>
#include <QFileInfo>

#include "cli/commands.h"
#include "cli/progress.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/rom_write.h"

namespace talvo::cli {
namespace {

// How far a write that did not end with its verdict got, for "... <how far>".
QString HowFar(const RomWriteDetail& detail) {
    switch (detail.phase) {
        case RomWritePhase::FileCheck:
            return QStringLiteral("before anything was sent");
        case RomWritePhase::Erase:
            return QStringLiteral(
                       "while erasing: nothing was written, but the ROM area at %1 may be partly "
                       "erased")
                .arg(RomAddressText());
        case RomWritePhase::Transfer:
            return QStringLiteral("after %1 of %2 bytes: the ROM area at %3 is incomplete")
                .arg(detail.bytes_sent)
                .arg(detail.transfer_length)
                .arg(RomAddressText());
        case RomWritePhase::TransferEnd:
        case RomWritePhase::Verify:
            return QStringLiteral(
                       "after all %1 bytes were sent, before the checksum was compared: the "
                       "write is not verified")
                .arg(detail.transfer_length);
        case RomWritePhase::Done:
            break;
    }
    return QStringLiteral("after the verdict");
}

int ReportVerdict(const RomWriteDetail& detail, const QString& verdict, const QString& path,
                  Console& console) {
    switch (detail.result) {
        case RomWriteResult::SumsMatch:
            console.out(verdict);
            console.note(QStringLiteral("written and verified: the sums match (%1)")
                             .arg(Hex4(detail.device_sum)));
            return kExitDone;
        case RomWriteResult::SumsDiffer:
            console.out(verdict);
            console.error(QStringLiteral("talvo4ctl: the ROM's sum %1 differs from the "
                                         "file's sum %2: the write failed")
                              .arg(Hex4(detail.device_sum), Hex4(detail.file_sum)));
            return kExitFailed;
        case RomWriteResult::NoChecksumAnswer:
            console.error(QStringLiteral("talvo4ctl: every byte was sent, but the device "
                                         "never reported its checksum ready (%1)")
                              .arg(rom_texts::kNoChecksum));
            return kExitFailed;
        case RomWriteResult::EmptyFile:
            console.error(QStringLiteral("talvo4ctl: %1 is empty; nothing was sent").arg(path));
            return kExitUsage;
        case RomWriteResult::UnreadableFile:
            break;
    }
    switch (detail.phase) {
        case RomWritePhase::FileCheck:
            console.error(
                QStringLiteral("talvo4ctl: %1 could not be read; nothing was sent").arg(path));
            return kExitUsage;
        case RomWritePhase::Transfer:
            console.error(QStringLiteral("talvo4ctl: %1 could not be read to its end during the "
                                         "transfer: the ROM area at %2 was erased, and zeros were "
                                         "written where the file failed; the ROM area is "
                                         "incomplete")
                              .arg(path, RomAddressText()));
            return kExitFailed;
        case RomWritePhase::Erase:  // the file is not read while erasing
        case RomWritePhase::TransferEnd:
        case RomWritePhase::Verify:
        case RomWritePhase::Done:
            break;
    }
    console.error(QStringLiteral("talvo4ctl: %1 could not be read again to verify it (%2)")
                      .arg(path, HowFar(detail)));
    return kExitFailed;
}

// The sums for --json, and how a device that went ended; returns `exit_code`.
int Reported(Report& report, const QString& path, const WritePlan& plan,
             const Outcome<RomWriteDetail>& outcome, int exit_code) {
    report.insert(RomSumsJson(RomSumsOf(path, plan.checksum_length, outcome)));
    if (exit_code == kExitDeviceLost) return RomDeviceExit(report, outcome);
    return exit_code;
}

class RomWriteCommand : public Command {
  public:
    explicit RomWriteCommand(QString path) : path_(std::move(path)) {}

    int run(Session& session, Context& context) override {
        Console& console = context.console;
        const WritePlan plan = PlanWrite(QFileInfo(path_).size());
        console.note(QStringLiteral("writing %1 bytes of %2 into the ROM at %3 (%4 block and %5 "
                                    "sector erases first)")
                         .arg(plan.transfer_length)
                         .arg(path_)
                         .arg(RomAddressText())
                         .arg(plan.blocks)
                         .arg(plan.sectors));

        Progress progress(console, Progress::StyleFor(console), QStringLiteral("ROM write"),
                          Progress::Unit::Bytes);
        QString verdict;
        RomWriteObserver observer;
        observer.status = [&verdict](const QString& text) { verdict = text; };
        observer.progress = [&progress](int64_t sent, int64_t total) {
            progress.update(sent, total);
        };
        observer.no_sleep_lock = [&console](const QString& why) {
            console.warn(QStringLiteral("talvo4ctl: cannot keep the machine awake during the "
                                        "write (%1); going on without")
                             .arg(why));
        };
        // Once the first erase is out, a first Ctrl+C is only answered; one
        // before it (while the sleep lock was asked for) ends the write with
        // nothing sent.
        const StopRequest before_start = [&context] { return context.interrupts.presses() > 0; };
        bool first_press_said = false;
        SleepingPacer pacer = context.interrupts.pacer(kMainTick, [&] {
            if (first_press_said || context.interrupts.presses() == 0) return;
            first_press_said = true;
            progress.clearLine();
            console.warn(QStringLiteral(
                "talvo4ctl: Ctrl+C: the ROM write goes on, since the device expects all of its "
                "data. Press Ctrl+C again to abort it; the ROM area then stays incomplete."));
        });

        const Outcome<RomWriteDetail> outcome =
            WriteRom(session.link(), kRomAddress, path_, {pacer, before_start, OnDeviceLost::End},
                     observer, {.keep_awake_as = QStringLiteral("talvo4ctl")});
        if (outcome.detail.phase != RomWritePhase::FileCheck) progress.finish();
        return Reported(context.report, path_, plan, outcome,
                        ReportRomWrite(outcome, verdict, path_, session.link(), console));
    }

  private:
    QString path_;
};

// Sums the file and asks the device for its sum over the same range; writes
// nothing, so a first Ctrl+C ends it between two polls.
class RomVerifyCommand : public Command {
  public:
    explicit RomVerifyCommand(QString path) : path_(std::move(path)) {}

    int run(Session& session, Context& context) override {
        Console& console = context.console;
        const WritePlan plan = PlanWrite(QFileInfo(path_).size());
        console.note(QStringLiteral("comparing the ROM at %1 with the first %2 bytes of %3")
                         .arg(RomAddressText())
                         .arg(plan.checksum_length)
                         .arg(path_));
        SleepingPacer pacer = context.interrupts.pacer(kMainTick);
        const StopRequest stop = [&context] { return context.interrupts.presses() > 0; };
        const Outcome<RomWriteDetail> outcome =
            VerifyRom(session.link(), kRomAddress, path_, {pacer, stop, OnDeviceLost::End});
        return Reported(context.report, path_, plan, outcome,
                        ReportRomVerify(outcome, path_, session.link(), console));
    }

  private:
    QString path_;
};

}  // namespace

int ReportRomWrite(const Outcome<RomWriteDetail>& outcome, const QString& verdict,
                   const QString& path, const DeviceLink& link, Console& console) {
    const RomWriteDetail& detail = outcome.detail;
    switch (outcome.ending) {
        case Ending::Done:
            return ReportVerdict(detail, verdict, path, console);
        case Ending::FrontEndGone:
            console.error(QStringLiteral("talvo4ctl: ROM write aborted by a second Ctrl+C %1")
                              .arg(HowFar(detail)));
            return kExitInterrupted;
        case Ending::DeviceLost:
        case Ending::DeviceSilent:
        case Ending::WriteFailed:
            console.error(
                QStringLiteral("talvo4ctl: %1 %2").arg(LostDeviceText(link), HowFar(detail)));
            return kExitDeviceLost;
        case Ending::Stopped:
            console.error(
                QStringLiteral("talvo4ctl: interrupted by Ctrl+C before the ROM write "
                               "began; nothing was sent"));
            return kExitInterrupted;
        case Ending::DeviceBusy:
            break;
    }
    // Does not come to the tool's write: it holds the link alone.
    console.error(QStringLiteral("talvo4ctl: the ROM write did not run"));
    return kExitFailed;
}

int ReportRomVerify(const Outcome<RomWriteDetail>& outcome, const QString& path,
                    const DeviceLink& link, Console& console) {
    const RomWriteDetail& detail = outcome.detail;
    switch (outcome.ending) {
        case Ending::Done:
            break;
        case Ending::Stopped:
        case Ending::FrontEndGone:
            console.error(
                QStringLiteral("talvo4ctl: ROM check stopped by Ctrl+C; nothing "
                               "was written"));
            return kExitInterrupted;
        case Ending::DeviceLost:
        case Ending::DeviceSilent:
        case Ending::WriteFailed:
            console.error(
                QStringLiteral("talvo4ctl: %1 before the checksum came").arg(LostDeviceText(link)));
            return kExitDeviceLost;
        case Ending::DeviceBusy:
            console.error(QStringLiteral("talvo4ctl: the ROM check did not run"));
            return kExitFailed;
    }
    switch (detail.result) {
        case RomWriteResult::SumsMatch:
            console.out(QStringLiteral("the ROM's sum %1 matches the file's sum")
                            .arg(Hex4(detail.device_sum)));
            return kExitDone;
        case RomWriteResult::SumsDiffer:
            console.out(QStringLiteral("the ROM's sum %1 differs from the file's sum %2")
                            .arg(Hex4(detail.device_sum), Hex4(detail.file_sum)));
            return kExitFailed;
        case RomWriteResult::NoChecksumAnswer:
            console.error(QStringLiteral("talvo4ctl: the device never reported its "
                                         "checksum ready within %1 s (%2)")
                              .arg(kChecksumWait.count())
                              .arg(rom_texts::kNoChecksum));
            return kExitDeviceLost;
        case RomWriteResult::EmptyFile:
        case RomWriteResult::UnreadableFile:
            break;
    }
    console.error(QStringLiteral("talvo4ctl: %1 could not be read; nothing was sent").arg(path));
    return kExitUsage;
}

Prepared PrepareRom(const QStringList& words) {
    const bool write = !words.isEmpty() && words[0] == QLatin1String("write");
    const bool verify = !words.isEmpty() && words[0] == QLatin1String("verify");
    if (words.size() != 2 || !(write || verify))
        return UsageError(QStringLiteral("use rom write FILE or rom verify FILE"));
    const QString& path = words[1];
    auto size = ReadableFileSize(path);
    if (auto* problem = std::get_if<Prepared>(&size)) return std::move(*problem);
    if (std::get<qint64>(size) == 0)
        return FileError(QStringLiteral("%1: the file is empty").arg(path));
    if (verify) return {std::make_unique<RomVerifyCommand>(path), {}};
    return {std::make_unique<RomWriteCommand>(path), {}};
}

}  // namespace talvo::cli
