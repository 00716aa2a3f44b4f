#include "timing/form6.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>

#include "rom/download.h"
#include "timing/timing_operations.h"
#include "ui/program.h"
#include "ui/ui_support.h"
#include "ui/window_pacer.h"

namespace talvo {
namespace {

const QString kCaption = QStringLiteral("入出力映像信号調整");
const QString kDescription = QStringLiteral("入出力映像信号のタイミングを調整する");
const QString kSaveTitle = QStringLiteral("OMBRIX-3 入出力映像タイミングDataを保存");
const QString kLoadTitle = QStringLiteral("OMBRIX-3 入出力映像タイミングDataを読込");
// The names the save suggests: the dialog's filter, never a name of its own.
const QString kSuggestedFileNames = QStringLiteral("ombrix3_syc*.bin");
const QString kSaveFailed = QStringLiteral("タイミングDataを保存できませんでした。");
const QString kLoadFailed = QStringLiteral("タイミングDataを読み込めませんでした。");

// A name that still holds a pattern's wildcard was not meant as a file.
bool HoldsWildcard(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    return name.contains(u'*') || name.contains(u'?');
}

}  // namespace

Form6::Form6(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(kCaption);
    Describe(this, kCaption, kDescription);
    buildControls();
    Form_Load();
}

void Form6::closeEvent(QCloseEvent* event) {
    // When the main window has closed, the program ends without this
    // window's closing steps.
    if (!unloaded_ && !ProgramEnding()) Form_Unload();
    event->accept();
}

TickPacer Form6::pacer() {
    // A sequence of this window ends when the window was closed (or is gone)
    // or the program is ending.
    return TickPacer(program_.ticks,
                     [self = QPointer<Form6>(this)] { return self && !self->unloaded_; });
}

void Form6::Form_Load() {
    TickPacer ticks = pacer();
    // A close during the read-back's pauses leaves timing mode.
    in_timing_mode_ = true;
    const TimingOutcome started = StartTimingMode(program_.link, program_.timing, {ticks});
    // Refused, the start sent nothing: there is no timing mode to leave.
    if (started.ending == Ending::DeviceBusy) in_timing_mode_ = false;
    if (started.ending == Ending::DeviceBusy || started.detail == TimingDetail::BlockUnreachable) {
        keepOffTheBlock();
        return;
    }
    // Otherwise the window is gone or the program ends.
    if (!started.done()) return;
    block_usable_ = true;
    setBarsFromImage();
}

void Form6::keepOffTheBlock() {
    // Bars stay at 0, out of reach, and nothing is loaded into the device;
    // the image holds no block of this device to save.
    for (QScrollBar* b : bars_) b->setEnabled(false);
    Command1->setEnabled(false);
    Command2->setEnabled(false);
}

void Form6::Form_Unload() {
    unloaded_ = true;
    if (!in_timing_mode_) return;
    // During a ROM write the device would refuse the mode end: it goes out
    // once the write has let go, and the device does not stay in timing mode.
    DeviceLink& link = program_.link;
    AfterDownload([&link] { LeaveTimingMode(link); });
}

void Form6::tellFileOutcome(const QString& failure) {
    // The window has no status box: its title carries the message until a
    // save or load works.
    const QString title = failure.isEmpty() ? kCaption : kCaption + QStringLiteral(" - ") + failure;
    setWindowTitle(title);
    Describe(this, title, kDescription);
}

void Form6::setBarsFromImage() {
    // The image already holds what each bar is set to, so these changes
    // update the text boxes and send nothing.
    const TimingImage& image = program_.timing.timing_image;
    for (size_t i = 0; i < kTimingParameters.size(); ++i)
        bars_[i]->setValue(BarValue(image, kTimingParameters[i]));
}

void Form6::parameterChange(int index) {
    const TimingParameter& parameter = kTimingParameters[size_t(index)];
    const int value = bars_[size_t(index)]->value();
    text_boxes_[size_t(index)]->setText(QString::number(value));

    if (unloaded_ || !block_usable_) return;
    TimingState& timing = program_.timing;
    if (StandsForValueAboveRange(timing.timing_image, parameter, value)) return;
    if (WriteTimingParameter(program_.link, timing, parameter, value).ending ==
        Ending::DeviceBusy) {
        // The write would be dropped; the bar goes back to what the device
        // holds, so that bar, image and device keep agreeing.
        bars_[size_t(index)]->setValue(BarValue(timing.timing_image, parameter));
    }
}

void Form6::Command1_Click() {
    if (!block_usable_) return;
    // The image belongs to the program, so the save goes ahead even if the
    // window closed while the dialog was open.
    Program& program = program_;
    QPointer<Form6> self(this);
    const QString path = program.dialogs.getSaveFileName(
        this, {kSaveTitle, DocumentsFolder(), QString(), kSuggestedFileNames, QString()});
    if (path.isEmpty()) return;
    const bool saved =
        !HoldsWildcard(path) && SaveTimingData(program.timing, path).detail == TimingDetail::Ok;
    if (self) self->tellFileOutcome(saved ? QString() : kSaveFailed);
}

void Form6::Command2_Click() {
    // No dialog for a load the device cannot take now.
    if (!block_usable_ || program_.link.heldExclusively()) return;
    QPointer<Form6> self(this);
    const QString path = program_.dialogs.getOpenFileName(
        this, {kLoadTitle, DocumentsFolder(), QString(), QString(), QString()});
    // A sequence that took the link meanwhile makes the load refuse.
    if (!self || unloaded_ || ProgramEnding()) return;

    // A cancelled dialog still writes the image as it stands; a file that
    // cannot be read whole changes nothing and sends nothing.
    const std::optional<QString> file =
        path.isEmpty() ? std::nullopt : std::optional<QString>(path);
    TickPacer ticks = pacer();
    const TimingOutcome loaded = LoadTimingData(program_.link, program_.timing, file, {ticks},
                                                {.image_written = [this] { setBarsFromImage(); }});
    if (!self || !file) return;
    if (loaded.detail == TimingDetail::FileError)
        tellFileOutcome(kLoadFailed);
    else if (loaded.done())
        tellFileOutcome(QString());
}

}  // namespace talvo
