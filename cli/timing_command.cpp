#include <QJsonArray>
#include <QJsonObject>
#include <vector>

#include "cli/commands.h"
#include "timing/timing_file.h"
#include "timing/timing_operations.h"
#include "timing/timing_text.h"

namespace talvo::cli {
namespace {

enum class TimingAction { Show, Save, Load, Set };

// The words for an outcome that only a wrong call could bring about: the
// values are checked before anything is sent, and nothing else holds the
// device in this process.
QString UnexpectedText(const TimingOutcome& outcome) {
    return outcome.ending == Ending::DeviceBusy
               ? QStringLiteral("another sequence holds the device")
               : QStringLiteral("value outside the parameter's range");
}

// The block as timing show prints it: offsets 0 to 79.
constexpr qsizetype kShownBlockLength = 80;

QString NameOf(const TimingParameter& parameter) {
    return QString::fromLatin1(parameter.name.data(), qsizetype(parameter.name.size()));
}

// Every parameter's value in the image, by the names timing set takes.
QJsonObject ParametersJson(const TimingState& timing) {
    QJsonObject parameters;
    for (const TimingParameter& parameter : kTimingParameters)
        parameters.insert(NameOf(parameter), ImageValue(timing.timing_image, parameter));
    return parameters;
}

bool DeviceWent(Ending ending) {
    return ending == Ending::DeviceLost || ending == Ending::DeviceSilent ||
           ending == Ending::WriteFailed;
}

class TimingCommand : public Command {
  public:
    TimingCommand(TimingAction action, QString file, std::vector<TimingAssignment> assignments)
        : action_(action), file_(std::move(file)), assignments_(std::move(assignments)) {}

    int run(Session& session, Context& context) override {
        DeviceLink& link = session.link();
        // A first Ctrl+C ends the sequence between two reports, and timing
        // mode is still left; a second one ends it during a pause.
        SleepingPacer pacer = context.interrupts.pacer(kMainTick);
        const FrontEnd front_end{pacer, [&] { return context.interrupts.presses() > 0; },
                                 OnDeviceLost::End};
        TimingState timing;

        TimingOutcome outcome = StartTimingMode(link, timing, front_end);
        QString step = QStringLiteral("while reading the timing block back");
        if (outcome.done() && outcome.detail == TimingDetail::Ok)
            outcome = act(link, timing, front_end, step, context);
        // Said as the sequence ended: leaving timing mode makes exchanges of its own.
        const QString lost = LostDeviceText(link);
        TimingOutcome left;
        // A device that only answered late may still be in timing mode.
        if (outcome.ending != Ending::DeviceLost && outcome.ending != Ending::WriteFailed &&
            outcome.ending != Ending::FrontEndGone)
            left = LeaveTimingMode(link, OnDeviceLost::End);

        switch (outcome.ending) {
            case Ending::Done:
                break;
            case Ending::Stopped:
            case Ending::FrontEndGone:
                context.console.error(QStringLiteral("talvo4ctl: interrupted %1%2")
                                          .arg(step, outcome.ending == Ending::Stopped
                                                         ? QStringLiteral("; timing mode left")
                                                         : QString()));
                return kExitInterrupted;
            case Ending::DeviceLost:
            case Ending::DeviceSilent:
            case Ending::WriteFailed:
                context.console.error(QStringLiteral("talvo4ctl: %1 %2").arg(lost, step));
                return DeviceWentExit(context.report, outcome.ending);
            case Ending::DeviceBusy:
                context.console.error(QStringLiteral("talvo4ctl: %1").arg(UnexpectedText(outcome)));
                return kExitFailed;
        }
        switch (outcome.detail) {
            case TimingDetail::Ok:
            case TimingDetail::Unchanged:
                if (DeviceWent(left.ending)) {
                    context.console.error(QStringLiteral("talvo4ctl: %1 while leaving timing mode")
                                              .arg(LostDeviceText(link)));
                    return DeviceWentExit(context.report, left.ending);
                }
                return kExitDone;
            case TimingDetail::BlockUnreachable:
                context.console.error(
                    QStringLiteral("talvo4ctl: the device reports timing_base %1 (above 183): "
                                   "its timing block cannot be addressed; nothing was written")
                        .arg(timing.timing_base));
                return kExitFailed;
            case TimingDetail::FileError:
                context.console.error(QStringLiteral("talvo4ctl: %1 could not be %2")
                                          .arg(file_, action_ == TimingAction::Save
                                                          ? QStringLiteral("written")
                                                          : QStringLiteral("read whole")));
                return kExitFailed;
            case TimingDetail::ValueOutOfRange:
                break;
        }
        context.console.error(QStringLiteral("talvo4ctl: %1").arg(UnexpectedText(outcome)));
        return kExitFailed;
    }

  private:
    TimingOutcome act(DeviceLink& link, TimingState& timing, const FrontEnd& front_end,
                      QString& step, Context& context) {
        Report& report = context.report;
        if (!file_.isEmpty()) report.insert(QStringLiteral("file"), file_);
        switch (action_) {
            case TimingAction::Show: {
                context.console.out(RenderTimingState(timing).chopped(1));
                const auto* image = reinterpret_cast<const char*>(timing.timing_image.data());
                report.insert(QStringLiteral("parameters"), ParametersJson(timing));
                report.insert(QStringLiteral("block"),
                              QString::fromLatin1(QByteArray(image, kShownBlockLength).toHex()));
                return {};
            }
            case TimingAction::Save: {
                const TimingOutcome saved = SaveTimingData(timing, file_);
                if (saved.detail == TimingDetail::Ok) {
                    context.console.note(QStringLiteral("saved the timing data to %1").arg(file_));
                    report.insert(QStringLiteral("parameters"), ParametersJson(timing));
                }
                return saved;
            }
            case TimingAction::Load: {
                step = QStringLiteral("while writing the timing data");
                const TimingOutcome loaded = LoadTimingData(link, timing, file_, front_end);
                if (loaded.done() && loaded.detail == TimingDetail::Ok) {
                    context.console.note(QStringLiteral("wrote %1 to the device").arg(file_));
                    report.insert(QStringLiteral("parameters"), ParametersJson(timing));
                }
                return loaded;
            }
            case TimingAction::Set: {
                // Each value as it went, also when a later one does not.
                QJsonObject set;
                QJsonArray unchanged_names;
                for (size_t i = 0; i < assignments_.size(); ++i) {
                    const TimingParameter& parameter =
                        kTimingParameters[size_t(assignments_[i].index)];
                    step = QStringLiteral("while writing %1 (%2 of %3 values written before it)")
                               .arg(NameOf(parameter))
                               .arg(i)
                               .arg(assignments_.size());
                    if (front_end.stop()) return {Ending::Stopped};
                    const TimingOutcome written = WriteTimingParameter(
                        link, timing, parameter, assignments_[i].value, OnDeviceLost::End);
                    const bool unchanged = written.detail == TimingDetail::Unchanged;
                    if (!written.done() || (written.detail != TimingDetail::Ok && !unchanged))
                        return written;
                    set.insert(NameOf(parameter), assignments_[i].value);
                    if (unchanged) unchanged_names.append(NameOf(parameter));
                    report.insert(QStringLiteral("parameters"), set);
                    report.insert(QStringLiteral("unchanged"), unchanged_names);
                    context.console.note(QStringLiteral("%1=%2%3")
                                             .arg(NameOf(parameter))
                                             .arg(assignments_[i].value)
                                             .arg(unchanged
                                                      ? QStringLiteral(" (unchanged, nothing sent)")
                                                      : QString()));
                }
                return {};
            }
        }
        return {};
    }

    TimingAction action_;
    QString file_;
    std::vector<TimingAssignment> assignments_;
};

Prepared Make(TimingAction action, QString file = {}, std::vector<TimingAssignment> set = {}) {
    return {std::make_unique<TimingCommand>(action, std::move(file), std::move(set)), {}, false};
}

}  // namespace

Prepared PrepareTiming(const QStringList& words) {
    const QString usage = QStringLiteral(
        "use timing show, timing save FILE, timing load FILE or timing set NAME=VALUE...");
    if (words.isEmpty()) return UsageError(usage);
    const QString& action = words[0];
    if (action == QLatin1String("show") && words.size() == 1) return Make(TimingAction::Show);
    if (action == QLatin1String("save") && words.size() == 2) {
        if (auto unwritable = UnwritableOutput(words[1])) return std::move(*unwritable);
        return Make(TimingAction::Save, words[1]);
    }
    if (action == QLatin1String("load") && words.size() == 2) {
        const QString& path = words[1];
        auto size = ReadableFileSize(path);
        if (auto* problem = std::get_if<Prepared>(&size)) return std::move(*problem);
        if (std::get<qint64>(size) < kTimingFileLoadLength)
            return FileError(QStringLiteral("%1: %2 bytes; a timing data file holds at least %3")
                                 .arg(path)
                                 .arg(std::get<qint64>(size))
                                 .arg(kTimingFileLoadLength));
        return Make(TimingAction::Load, path);
    }
    if (action == QLatin1String("set") && words.size() >= 2) {
        std::vector<TimingAssignment> assignments;
        const QString error = ParseTimingAssignments(words.mid(1), assignments);
        if (!error.isEmpty()) return UsageError(error);
        return Make(TimingAction::Set, {}, std::move(assignments));
    }
    return UsageError(usage);
}

}  // namespace talvo::cli
