#pragma once
// The start-up window: connects once, shows the outcome, opens the working
// windows, owns the 10 ms tick counter and ends the program when closed.

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "ui/program.h"

class QLineEdit;
class QPushButton;
class QTimer;

namespace talvo {

class DeviceFollower;
class HidMonitor;
class Form2;
class Form5;
class Form6;

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    explicit MainWindow(Program& program);
    ~MainWindow() override;

    void connect();
    void Timer1_Timer();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command10_Click();
    void download();

    // After the look at start-up: follows the TALVO-4 as it is pulled out and
    // plugged in again, by what `monitor` tells. Without one (nullptr), the
    // window stays with what it found at start-up.
    void followDevice(std::unique_ptr<HidMonitor> monitor);
    // Connects as at start-up, unless connected already.
    void lookAgain();
    DeviceFollower* follower() const { return follower_; }

    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command10 = nullptr;
    QTimer* Timer1 = nullptr;
    FileDialogs* CommonDialog1 = nullptr;

    // The working windows, each existing at most once.
    Form2* remoteWindow() const;
    Form5* captureWindow() const;
    Form6* timingWindow() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Load();
    void Form_Unload();
    void buildControls();
    void explainNotConnected();
    void showConnection(bool connected);
    void deviceLeft(const std::string& path);
    // Prints a line for the terminal, but not the same one twice in a row.
    void tellOnce(const std::string& line);

    Program& program_;
    struct WindowSlot {
        QPointer<QWidget> window;
        bool creating = false;
    };
    template <typename Window>
    void showOnce(WindowSlot& slot);

    WindowSlot remote_window_;
    WindowSlot capture_window_;
    WindowSlot timing_window_;
    // Closing was asked for while a ROM write ran.
    bool close_after_download_ = false;
    DeviceFollower* follower_ = nullptr;
    std::string last_told_;
};

}  // namespace talvo
