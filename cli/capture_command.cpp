#include <QFileInfo>
#include <QImage>

#include "capture/bitmap_file.h"
#include "capture/capture_operations.h"
#include "capture/capture_texts.h"
#include "capture/frame_image.h"
#include "cli/commands.h"
#include "cli/progress.h"

namespace talvo::cli {
namespace {

enum class PictureFormat { Bitmap, Png };

class CaptureCommand : public Command {
  public:
    CaptureCommand(QString path, PictureFormat format) : path_(std::move(path)), format_(format) {}

    int run(Session& session, Context& context) override {
        Console& console = context.console;
        DeviceLink& link = session.link();
        QString status;
        CaptureObserver observer;
        observer.status = [&status](const QString& text) { status = text; };

        const CaptureOutcome ready = CheckCaptureReady(link, observer, OnDeviceLost::End);
        if (!ready.done()) {
            console.error(QStringLiteral("talvo4ctl: %1 during the readiness check; nothing "
                                         "was captured")
                              .arg(LostDeviceText(link)));
            return kExitDeviceLost;
        }
        if (ready.detail.check == CaptureCheck::NotReady) {
            console.error(QStringLiteral("talvo4ctl: the TALVO-4 does not run FPGA selection "
                                         "2, which capturing needs. The capture window "
                                         "says:\n") +
                          capture_texts::kSelectFpga);
            return kExitFailed;
        }

        CaptureState state;
        Progress progress(console, Progress::StyleFor(console), QStringLiteral("capture"),
                          Progress::Unit::Lines);
        int lines = 0;
        observer.size_accepted = [&](const CaptureState& accepted) {
            console.note(QStringLiteral("picture %1 x %2 pixels")
                             .arg(accepted.frame_width)
                             .arg(accepted.frame_height));
        };
        observer.line = [&](int y, std::span<const uint8_t>) {
            lines = y + 1;
            progress.update(lines, state.frame_height);
        };
        bool stop_said = false;
        const StopRequest stop = [&] {
            if (context.interrupts.presses() == 0) return false;
            if (!stop_said) {
                stop_said = true;
                progress.clearLine();
                console.note(QStringLiteral("Ctrl+C: stopping after this line"));
            }
            return true;
        };
        SleepingPacer pacer = context.interrupts.pacer(kCaptureTick);

        const CaptureOutcome outcome =
            RunCapture(link, state, FrontEnd{pacer, stop, OnDeviceLost::End}, observer);
        const bool size_rejected = outcome.detail.check == CaptureCheck::SizeRejected;
        if (!size_rejected) progress.finish();
        const QString how_far =
            QStringLiteral("after line %1 of %2").arg(lines).arg(state.frame_height);
        switch (outcome.ending) {
            case Ending::Done:
                if (!size_rejected) return save(state, console);
                console.error(QStringLiteral("talvo4ctl: the device reported no usable picture "
                                             "size. The capture window says:\n") +
                              capture_texts::kNoInput);
                return kExitFailed;
            case Ending::Stopped:
            case Ending::FrontEndGone:
                console.error(QStringLiteral("talvo4ctl: capture stopped by Ctrl+C %1; the "
                                             "device was told the capture ended; no file "
                                             "written")
                                  .arg(how_far));
                return kExitInterrupted;
            case Ending::DeviceSilent:
            case Ending::DeviceLost:
            case Ending::DeviceBusy:  // nothing else holds the terminal's link
                break;
        }
        console.error(
            QStringLiteral("talvo4ctl: %1 %2; no file written").arg(LostDeviceText(link), how_far));
        return kExitDeviceLost;
    }

  private:
    int save(const CaptureState& state, Console& console) const {
        const bool saved =
            format_ == PictureFormat::Bitmap
                ? WriteBitmap(path_, state.frame_width, state.frame_height, state.frame_buffer)
                : FrameImage(state).save(path_, "PNG");
        if (!saved) {
            console.error(QStringLiteral("talvo4ctl: the picture was captured, but %1 could not "
                                         "be written")
                              .arg(path_));
            return kExitFailed;
        }
        console.note(QStringLiteral("saved %1 x %2 pixels to %3")
                         .arg(state.frame_width)
                         .arg(state.frame_height)
                         .arg(path_));
        return kExitDone;
    }

    QString path_;
    PictureFormat format_;
};

}  // namespace

Prepared PrepareCapture(const QStringList& words, const QString& output) {
    if (!words.isEmpty())
        return UsageError(QStringLiteral("capture takes no arguments but -o FILE"));
    if (output.isEmpty()) return UsageError(QStringLiteral("capture needs -o FILE"));
    const QFileInfo file(output);
    PictureFormat format;
    if (file.suffix().compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0)
        format = PictureFormat::Bitmap;
    else if (file.suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0)
        format = PictureFormat::Png;
    else
        return UsageError(QStringLiteral("%1: the file name must end in .bmp or .png").arg(output));
    // Found out now, not after a picture has taken its time to arrive.
    if (auto unwritable = UnwritableOutput(output)) return std::move(*unwritable);
    return {std::make_unique<CaptureCommand>(output, format), {}};
}

}  // namespace talvo::cli
