#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include "capture/bitmap_file.h"
#include "capture/capture_operations.h"
#include "capture/capture_texts.h"
#include "capture/frame_image.h"
#include "capture/picture_file.h"
#include "cli/commands.h"
#include "cli/progress.h"

namespace talvo::cli {
namespace {

enum class PictureFormat { Bitmap, Png };

// What -o names for standard output.
const QString kStandardOutput = QStringLiteral("-");

std::optional<PictureFormat> FormatNamed(const QString& name) {
    if (name.compare(QLatin1String("bmp"), Qt::CaseInsensitive) == 0) return PictureFormat::Bitmap;
    if (name.compare(QLatin1String("png"), Qt::CaseInsensitive) == 0) return PictureFormat::Png;
    return std::nullopt;
}

QString FormatWord(PictureFormat format) {
    return format == PictureFormat::Bitmap ? QStringLiteral("bmp") : QStringLiteral("png");
}

// The picture as the file of that format holds it, for a file or standard
// output.
// The bitmap goes through the file writer itself, so that its bytes are
// the file's to the last one.
std::optional<QByteArray> PictureBytes(const CaptureState& state, PictureFormat format) {
    QByteArray bytes;
    if (format == PictureFormat::Png) {
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly) || !FrameImage(state).save(&buffer, "PNG"))
            return std::nullopt;
        return bytes;
    }
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("picture.bmp"));
    if (!folder.isValid() ||
        !WriteBitmap(path, state.frame_width, state.frame_height, state.frame_buffer))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

class CaptureCommand : public Command {
  public:
    CaptureCommand(QString path, PictureFormat format) : path_(std::move(path)), format_(format) {}

    int run(Session& session, Context& context) override {
        Console& console = context.console;
        DeviceLink& link = session.link();
        context.report.insert(QStringLiteral("file"), path_);
        context.report.insert(QStringLiteral("format"), FormatWord(format_));
        QString status;
        CaptureObserver observer;
        observer.status = [&status](const QString& text) { status = text; };

        const CaptureOutcome ready = CheckCaptureReady(link, observer, OnDeviceLost::End);
        if (!ready.done()) {
            console.error(QStringLiteral("talvo4ctl: %1 during the readiness check; nothing "
                                         "was captured")
                              .arg(LostDeviceText(link)));
            return DeviceWentExit(context.report, ready.ending);
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
            context.report.insert(QStringLiteral("width"), int(accepted.frame_width));
            context.report.insert(QStringLiteral("height"), int(accepted.frame_height));
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
            case Ending::WriteFailed:
            case Ending::DeviceBusy:  // nothing else holds the terminal's link
                break;
        }
        console.error(
            QStringLiteral("talvo4ctl: %1 %2; no file written").arg(LostDeviceText(link), how_far));
        return DeviceWentExit(context.report, outcome.ending);
    }

  private:
    int save(const CaptureState& state, Console& console) const {
        if (path_ == kStandardOutput) return show(state, console);
        // Encoded whole first, so that a file is written only with all of it.
        const auto bytes = PictureBytes(state, format_);
        if (!bytes || !WritePictureFile(path_, *bytes)) {
            console.error(QStringLiteral("talvo4ctl: the picture was captured, but %1 could not "
                                         "be written; a file there before is left as it was")
                              .arg(path_));
            return kExitFailed;
        }
        console.note(QStringLiteral("saved %1 x %2 pixels to %3")
                         .arg(state.frame_width)
                         .arg(state.frame_height)
                         .arg(path_));
        return kExitDone;
    }

    // The picture on standard output, and nothing else there.
    int show(const CaptureState& state, Console& console) const {
        const auto bytes = PictureBytes(state, format_);
        if (!bytes || !console.rawOut(*bytes)) {
            console.error(
                QStringLiteral("talvo4ctl: the picture was captured, but it could not be "
                               "written to standard output%1")
                    .arg(bytes ? QStringLiteral(" (closed, or the disk is full)") : QString()));
            return kExitFailed;
        }
        console.note(QStringLiteral("wrote %1 x %2 pixels to standard output as %3")
                         .arg(state.frame_width)
                         .arg(state.frame_height)
                         .arg(FormatWord(format_).toUpper()));
        return kExitDone;
    }

    QString path_;
    PictureFormat format_;
};

}  // namespace

Prepared PrepareCapture(const QStringList& words, const QString& output, const QString& format,
                        StandardOutput standard_output) {
    if (!words.isEmpty())
        return UsageError(QStringLiteral("capture takes no arguments but -o FILE"));
    if (output.isEmpty()) return UsageError(QStringLiteral("capture needs -o FILE"));
    const auto asked = FormatNamed(format);
    if (!format.isEmpty() && !asked)
        return UsageError(QStringLiteral("--format takes bmp or png, not \"%1\"").arg(format));
    if (output == kStandardOutput) {
        if (standard_output.json)
            return UsageError(
                QStringLiteral("-o - and --json both want standard output; name a "
                               "file with -o FILE"));
        // Found out before the device is opened, so nothing is sent.
        if (standard_output.terminal)
            return FileError(
                QStringLiteral("will not write a picture to a terminal; redirect "
                               "standard output or name a file with -o FILE"));
        return {std::make_unique<CaptureCommand>(output, asked.value_or(PictureFormat::Png)), {}};
    }
    const auto named = FormatNamed(QFileInfo(output).suffix());
    if (!named)
        return UsageError(QStringLiteral("%1: the file name must end in .bmp or .png").arg(output));
    if (asked && *asked != *named)
        return UsageError(QStringLiteral("%1: the file name says %2, --format says %3")
                              .arg(output, FormatWord(*named), FormatWord(*asked)));
    // Found out now, not after a picture has taken its time to arrive.
    if (auto unwritable = UnwritableOutput(output)) return std::move(*unwritable);
    return {std::make_unique<CaptureCommand>(output, *named), {}};
}

}  // namespace talvo::cli
