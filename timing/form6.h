#pragma once
// The video timing adjustment window: reads the device's timing block when
// it opens, shows the fourteen parameters on scroll bars, writes every
// committed bar change at once, saves and loads timing data files, and
// leaves timing mode when it closes.

#include <QWidget>
#include <array>

#include "timing/timing_parameters.h"
#include "ui/window_pacer.h"

class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace talvo {

struct Program;

class Form6 : public QWidget {
    Q_OBJECT
  public:
    explicit Form6(Program& program);

#define TALVO_DECLARE_TIMING_ROW(name) \
    QScrollBar* name = nullptr;        \
    QLineEdit* name##_txt = nullptr;   \
    void name##_Change() { parameterChange(TimingParameterIndex(#name)); }
    TALVO_TIMING_PARAMETERS(TALVO_DECLARE_TIMING_ROW)
#undef TALVO_DECLARE_TIMING_ROW

    QPushButton* Command1 = nullptr;  // "data save"
    QPushButton* Command2 = nullptr;  // "data load"
    void Command1_Click();
    void Command2_Click();

    // The bar and text box of kTimingParameters[index].
    QScrollBar* bar(int index) const { return bars_[size_t(index)]; }
    QLineEdit* textBox(int index) const { return text_boxes_[size_t(index)]; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    QGroupBox* buildFrame(TimingFrame frame);
    void buildRow(int index, QGroupBox* frame);
    void bindRows();

    void Form_Load();
    // Leaves the block alone for the rest of this window's life.
    void keepOffTheBlock();
    void Form_Unload();
    // Shows a failed save or load in the window; empty: none (any more).
    void tellFileOutcome(const QString& failure);
    void parameterChange(int index);
    void setBarsFromImage();
    // How this window's sequences spend their pauses. After a pause that
    // ends a sequence, `this` may no longer exist.
    TickPacer pacer();

    Program& program_;
    bool unloaded_ = false;
    // The block was read back and may be written.
    bool block_usable_ = false;
    // The device was taken into timing mode and owes a mode end.
    bool in_timing_mode_ = false;
    std::array<QScrollBar*, kTimingParameters.size()> bars_{};
    std::array<QLineEdit*, kTimingParameters.size()> text_boxes_{};
};

}  // namespace talvo
