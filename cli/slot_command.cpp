#include "capture/slot_operations.h"
#include "cli/commands.h"

namespace talvo::cli {
namespace {

enum class SlotAction { Record, Show, Live };

class SlotCommand : public Command {
  public:
    SlotCommand(SlotAction action, int slot) : action_(action), slot_(slot) {}

    int run(Session& session, Context& context) override {
        DeviceLink& link = session.link();
        context.report.insert(QStringLiteral("action"),
                              action_ == SlotAction::Record ? QStringLiteral("rec")
                              : action_ == SlotAction::Show ? QStringLiteral("show")
                                                            : QStringLiteral("live"));
        if (action_ != SlotAction::Live) context.report.insert(QStringLiteral("slot"), slot_);
        Ending ending = Ending::Done;
        switch (action_) {
            case SlotAction::Record: {
                // The capture window's clock: a tick is 100 ms. The whole
                // recording takes half a second, and one cut short leaves the
                // device in the middle of it: only a second Ctrl+C ends it.
                SleepingPacer pacer = context.interrupts.pacer(kCaptureTick);
                ending = RecordSlot(link, slot_, FrontEnd{pacer, {}, OnDeviceLost::End}).ending;
                break;
            }
            case SlotAction::Show:
                ending = ShowSlot(link, slot_, OnDeviceLost::End).ending;
                break;
            case SlotAction::Live:
                ending = ShowLivePicture(link, OnDeviceLost::End).ending;
                break;
        }
        if (ending == Ending::DeviceLost || ending == Ending::DeviceSilent ||
            ending == Ending::WriteFailed) {
            context.console.error(QStringLiteral("talvo4ctl: %1 while sending the slot codes")
                                      .arg(LostDeviceText(link)));
            return DeviceWentExit(context.report, ending);
        }
        if (ending == Ending::FrontEndGone) {
            context.console.error(
                QStringLiteral(
                    "talvo4ctl: interrupted; the recording into slot %1 was not finished")
                    .arg(slot_));
            return kExitInterrupted;
        }
        context.console.note(
            action_ == SlotAction::Record ? QStringLiteral("recorded into slot %1").arg(slot_)
            : action_ == SlotAction::Show ? QStringLiteral("showing slot %1").arg(slot_)
                                          : QStringLiteral("showing the live picture"));
        return kExitDone;
    }

  private:
    SlotAction action_;
    int slot_;
};

}  // namespace

Prepared PrepareSlot(const QStringList& words) {
    const QString usage = QStringLiteral("use slot rec N, slot show N (N = 1 to 4) or slot live");
    if (words.size() == 1 && words[0] == QLatin1String("live"))
        return {std::make_unique<SlotCommand>(SlotAction::Live, 0), {}};
    if (words.size() != 2) return UsageError(usage);
    SlotAction action;
    if (words[0] == QLatin1String("rec"))
        action = SlotAction::Record;
    else if (words[0] == QLatin1String("show"))
        action = SlotAction::Show;
    else
        return UsageError(usage);
    bool ok = false;
    const int slot = words[1].toInt(&ok);
    if (!ok || !IsImageSlot(slot))
        return UsageError(QStringLiteral("\"%1\" is no image slot; %2").arg(words[1], usage));
    return {std::make_unique<SlotCommand>(action, slot), {}};
}

}  // namespace talvo::cli
