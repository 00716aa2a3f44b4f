#include "timing/form6.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>

#include "app/program.h"
#include "app/ui_support.h"
#include "timing/timing_commands.h"
#include "timing/timing_file.h"

namespace talvo {
namespace {

const QString kSaveTitle = QStringLiteral("OMBRIX-3 入出力映像タイミングDataを保存");
const QString kLoadTitle = QStringLiteral("OMBRIX-3 入出力映像タイミングDataを読込");
const QString kSuggestedFileName = QStringLiteral("ombrix3_syc*.bin");

constexpr int kPauseTicks = 3;
constexpr int kReadLength = 8;
constexpr int kGroupLength = 4;

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

void Form6::sendAndRead() {
    program_.link.SendCommand();
    program_.link.ReadResponse();
}

bool Form6::pause() {
    QPointer<Form6> self(this);
    program_.ticks.WaitTicks(kPauseTicks);
    return self && !self->unloaded_ && !ProgramEnding();
}

void Form6::Form_Load() {
    DeviceLink& link = program_.link;
    TimingState& timing = program_.timing;
    // While another sequence (a ROM write) holds the device, every report
    // would be dropped and every answer read as zeros.
    if (link.heldExclusively()) {
        keepOffTheBlock();
        return;
    }
    SetTimingMode(link.CommandBytes, true);
    sendAndRead();
    timing.timing_base = link.ResponseBuffer[1];
    timing.timing_page = link.ResponseBuffer[2];
    if (!TimingBlockReachable(timing.timing_base)) {
        keepOffTheBlock();
        return;
    }
    for (int offset = 0; offset <= kLastTimingAddressOffset; offset += kReadLength) {
        SetTimingRead(link.CommandBytes, timing, offset);
        sendAndRead();
        for (int i = 0; i < kReadLength; ++i)
            timing.timing_image[size_t(offset + i)] = link.ResponseBuffer[size_t(1 + i)];
        if (!pause()) return;
    }
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
    SetTimingMode(program_.link.CommandBytes, false);
    sendAndRead();
}

void Form6::setBarsFromImage() {
    // The image already holds what each bar is set to, so these changes
    // update the text boxes and send nothing.
    const TimingImage& image = program_.timing.timing_image;
    for (size_t i = 0; i < kTimingParameters.size(); ++i)
        bars_[i]->setValue(BarValue(image, kTimingParameters[i]));
}

void Form6::ParameterChange(int index) {
    const TimingParameter& parameter = kTimingParameters[size_t(index)];
    const int value = bars_[size_t(index)]->value();
    text_boxes_[size_t(index)]->setText(QString::number(value));

    TimingState& timing = program_.timing;
    if (unloaded_ || !block_usable_) return;
    if (StandsForValueAboveRange(timing.timing_image, parameter, value)) return;
    if (program_.link.heldExclusively()) {
        // The write would be dropped; the bar goes back to what the device
        // holds, so that bar, image and device keep agreeing.
        bars_[size_t(index)]->setValue(BarValue(timing.timing_image, parameter));
        return;
    }
    if (!StoreValue(timing.timing_image, parameter, value)) return;

    CommandArray& bytes = program_.link.CommandBytes;
    SetTimingWrite(bytes, timing, parameter.offset);
    sendAndRead();
    SetTimingWriteEnd(bytes, timing, parameter.offset);
    sendAndRead();
}

void Form6::Command1_Click() {
    // The image belongs to the program, so the save goes ahead even if the
    // window closed while the dialog was open.
    Program& program = program_;
    const QString path = program.dialogs.getSaveFileName(
        this, {kSaveTitle, DocumentsFolder(), kSuggestedFileName, QString()});
    if (path.isEmpty()) return;
    SaveTimingFile(path, program.timing.timing_image);
}

void Form6::Command2_Click() {
    if (!block_usable_ || program_.link.heldExclusively()) return;
    QPointer<Form6> self(this);
    const QString path = program_.dialogs.getOpenFileName(
        this, {kLoadTitle, DocumentsFolder(), QString(), QString()});
    if (!self || unloaded_ || ProgramEnding() || program_.link.heldExclusively()) return;

    TimingState& timing = program_.timing;
    // A cancelled dialog still writes the image as it stands; a file that
    // cannot be read whole changes nothing and sends nothing.
    if (!path.isEmpty() && !LoadTimingFile(path, timing.timing_image)) return;

    CommandArray& bytes = program_.link.CommandBytes;
    int last_group = 0;
    for (int k = 0; k <= kLastTimingAddressOffset; k += kGroupLength) {
        SetTimingWrite(bytes, timing, k);
        sendAndRead();
        last_group = k;
        if (!pause()) return;
    }
    setBarsFromImage();
    SetTimingWriteEnd(bytes, timing, last_group);
    sendAndRead();
}

}  // namespace talvo
