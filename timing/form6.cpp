#include "timing/form6.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>

#include "timing/timing_operations.h"
#include "ui/program.h"
#include "ui/ui_support.h"
#include "ui/window_pacer.h"

namespace talvo {
namespace {

const QString kSaveTitle = QStringLiteral("OMBRIX-3 入出力映像タイミングDataを保存");
const QString kLoadTitle = QStringLiteral("OMBRIX-3 入出力映像タイミングDataを読込");
const QString kSuggestedFileName = QStringLiteral("ombrix3_syc*.bin");

}  // namespace

Form6::Form6(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("入出力映像信号調整"));
    Describe(this, windowTitle(), QStringLiteral("入出力映像信号のタイミングを調整する"));
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
    const TimingOutcome started = StartTimingMode(program_.link, program_.timing, {ticks});
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
    // Bars stay at 0, out of reach, and nothing is loaded into the device.
    for (QScrollBar* b : bars_) b->setEnabled(false);
    Command2->setEnabled(false);
}

void Form6::Form_Unload() {
    unloaded_ = true;
    LeaveTimingMode(program_.link);
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
    // The image belongs to the program, so the save goes ahead even if the
    // window closed while the dialog was open.
    Program& program = program_;
    const QString path = program.dialogs.getSaveFileName(
        this, {kSaveTitle, DocumentsFolder(), kSuggestedFileName, QString()});
    if (path.isEmpty()) return;
    SaveTimingData(program.timing, path);
}

void Form6::Command2_Click() {
    // No dialog for a load the device cannot take now.
    if (!block_usable_ || program_.link.heldExclusively()) return;
    QPointer<Form6> self(this);
    const QString path = program_.dialogs.getOpenFileName(
        this, {kLoadTitle, DocumentsFolder(), QString(), QString()});
    // A sequence that took the link meanwhile makes the load refuse.
    if (!self || unloaded_ || ProgramEnding()) return;

    // A cancelled dialog still writes the image as it stands; a file that
    // cannot be read whole changes nothing and sends nothing.
    const std::optional<QString> file =
        path.isEmpty() ? std::nullopt : std::optional<QString>(path);
    TickPacer ticks = pacer();
    LoadTimingData(program_.link, program_.timing, file, {ticks},
                   {.image_written = [this] { setBarsFromImage(); }});
}

}  // namespace talvo
