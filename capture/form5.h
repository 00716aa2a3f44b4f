#pragma once
// The capture window: readiness check at load, the line-by-line capture into
// frame_buffer and Picture1, the device's four image slots and the bitmap save.

#include <QWidget>
#include <cstdint>

class QAction;
class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class QToolButton;

namespace talvo {

struct Program;
class FileDialogs;
class PictureBox;

class Form5 : public QWidget {
    Q_OBJECT
  public:
    explicit Form5(Program& program);

    void Command1_Click();  // REC: record into the next free slot
    void Command2_Click();  // capture
    void Command3_Click();  // stop the capture at the next line
    void Command4_Click();  // save the picture as a bitmap
    void Command5_Click();  // close
    void Command6_Click() { showSlot(1); }
    void Command7_Click() { showSlot(2); }
    void Command8_Click() { showSlot(3); }
    void Command9_Click() { showSlot(4); }
    void Command10_Click();  // back to the live picture
    void Timer1_Timer();

    bool capturing() const { return capturing_; }
    // The slot mark Check1..Check4 of slot 1..4.
    QCheckBox* mark(int slot) const;
    // The show button Command6..Command9 of slot 1..4.
    QPushButton* showButton(int slot) const;

    PictureBox* Picture1 = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QToolButton* Command2 = nullptr;
    QToolButton* Command3 = nullptr;
    QToolButton* Command4 = nullptr;
    QToolButton* Command5 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command8 = nullptr;
    QPushButton* Command9 = nullptr;
    QPushButton* Command10 = nullptr;
    QCheckBox* Check1 = nullptr;
    QCheckBox* Check2 = nullptr;
    QCheckBox* Check3 = nullptr;
    QCheckBox* Check4 = nullptr;
    QTimer* Timer1 = nullptr;
    FileDialogs* CommonDialog1 = nullptr;
    // "コピー": Ctrl+C in the window and the entry of the picture's context menu.
    QAction* copyAction() const { return copy_action_; }

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void buildSlotControls();
    void buildCopyAction();
    void updateCopyAction();
    // Puts the picture of frame_buffer on the clipboard; nothing without one.
    void copyPicture();
    void Form_Load();
    // Whether the device runs the configuration capturing needs.
    void checkReadiness();
    void showSlot(int slot);
    // REC, capture, save and close: off while a capture runs.
    void enableCaptureButtons(bool enabled);
    void setUpPicture1();
    void closeIfAsked();
    // One "REC": false when the window or the program went meanwhile.
    bool recordIntoNextFreeSlot();
    // The path the dialog confirmed, ".bmp" at its end; empty: nothing to write.
    QString askBitmapPath();

    Program& program_;
    QAction* copy_action_ = nullptr;
    bool capturing_ = false;
    bool recording_ = false;    // a "REC" sequence is under way
    int recordings_asked_ = 0;  // "REC" clicks not carried out yet
    // "BMP保存" clicked during a recording: the dialog opens after it.
    bool save_pending_ = false;
    // A close asked for while a capture or a recording ran: the window closes
    // when the last of them has ended.
    bool close_pending_ = false;
};

}  // namespace talvo
