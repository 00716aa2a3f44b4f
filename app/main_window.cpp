#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/device_follower.h"
#include "app/texts.h"
#include "capture/form5.h"
#include "device/device_listing.h"
#include "device/interface_lock.h"
#include "packaging/udev_rule.h"
#include "remote/form2.h"
#include "rom/download.h"
#include "rom/rom_plan.h"
#include "timing/form6.h"
#include "ui/ui_support.h"

namespace talvo {
namespace {

// Paths and program names come from the system; control characters in them
// must not reach the terminal.
std::string MaskControls(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

// The one line for a terminal when a TALVO-4 is there but this user may not
// open it.
std::string NoPermissionLine(const std::string& path) {
    return "talvo4: the TALVO-4 at " + MaskControls(path) +
           " is present, but this user may not open it; install the udev rule " + kUdevRuleName +
           ": " + UdevRuleInstallCommands();
}

// The one line for a terminal when another program holds the TALVO-4.
std::string InUseLine(LockHolder holder) {
    holder.program = MaskControls(holder.program);
    return "talvo4: the TALVO-4 is " + InUseText(holder) +
           "; end that program, then start talvo4 again";
}

void PrintLine(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

const QString kText1Name = QStringLiteral("接続状態");
const QString kText1Description = QStringLiteral("TALVO-4 の接続状態");

}  // namespace

// Shows a working window, creating it on first use: modeless, without an
// owner window, and never duplicated. A window's load may wait on ticks and
// so handle events; a second click meanwhile must not make a second window.
template <typename Window>
void MainWindow::showOnce(WindowSlot& slot) {
    if (slot.creating) return;
    if (!slot.window) {
        slot.creating = true;
        auto* window = new Window(program_);
        slot.creating = false;
        window->setAttribute(Qt::WA_DeleteOnClose);
        slot.window = window;
    }
    if (ProgramEnding()) return;
    QWidget* window = slot.window;
    window->show();
    window->raise();
    window->activateWindow();
}

MainWindow::MainWindow(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(texts::kMainCaption);
    setFixedSize(TwipsToPixels(7395), TwipsToPixels(1890));
    CommonDialog1 = &program_.dialogs;
    buildControls();
    Form_Load();
}

MainWindow::~MainWindow() {
    for (QWidget* window : {remote_window_.window.data(), capture_window_.window.data(),
                            timing_window_.window.data()})
        delete window;
}

void MainWindow::buildControls() {
    Text1 = new QLineEdit(QStringLiteral("Text1"), this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(360, 360, 6135, 495));
    Text1->setFont(UiFont(11.25));
    Describe(Text1, kText1Name, kText1Description);

    // Tab order follows the tab indexes 1 to 4: Command10, Command1, Command2, Command3.
    Command10 = MakeButton(this, "Command10", texts::kCommand10Caption,
                           TwipsRect(4080, 1200, 1575, 495), QStringLiteral("ROM 書込み"));
    Command1 =
        MakeButton(this, "Command1", texts::kCommand1Caption, TwipsRect(240, 1200, 1815, 495),
                   QStringLiteral("入出力映像信号調整ウィンドウを開く"));
    Command2 =
        MakeButton(this, "Command2", texts::kCommand2Caption, TwipsRect(2160, 1200, 1815, 495),
                   QStringLiteral("リモコンウィンドウを開く"));
    Command3 =
        MakeButton(this, "Command3", texts::kCommand3Caption, TwipsRect(5760, 1200, 1575, 495),
                   QStringLiteral("キャプチャーウィンドウを開く"));
    setTabOrder(Command10, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    // The service buttons stand in the window but are never shown.
    Command1->setVisible(false);
    Command10->setVisible(false);

    QObject::connect(Command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    QObject::connect(Command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    QObject::connect(Command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);
    QObject::connect(Command10, &QPushButton::clicked, this, &MainWindow::Command10_Click);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(Ticks::kPeriodMs);
    QObject::connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
    // WaitTicks starts and stops it.
    program_.ticks.attachTimer(Timer1);
}

void MainWindow::Form_Load() { connect(); }

void MainWindow::connect() {
    const bool found = program_.link.FindDevice();
    showConnection(found);
    if (!found) explainNotConnected();
    if (!follower_) return;
    // Another program may let go of it at any moment, and says nothing when
    // it does: only a device in use is looked at again unasked.
    if (!found && program_.link.inUseBy())
        follower_->lookAgainLater();
    else
        follower_->stopLooking();
}

void MainWindow::showConnection(bool connected) {
    Text1->setText(connected ? texts::kConnected : texts::kNotConnected);
    Describe(Text1, kText1Name, kText1Description);
    for (QPushButton* button : {Command1, Command2, Command3, Command10})
        button->setEnabled(connected);
    program_.DeviceConnected = connected ? 1 : 0;
    // Once connected, the next trouble is news again.
    if (connected) last_told_.clear();
}

void MainWindow::followDevice(std::unique_ptr<HidMonitor> monitor) {
    if (!monitor || follower_) return;
    follower_ = new DeviceFollower(std::move(monitor), this);
    follower_->left = [this](const std::string& path) { deviceLeft(path); };
    follower_->look = [this] { lookAgain(); };
    if (program_.DeviceConnected == 0 && program_.link.inUseBy()) follower_->lookAgainLater();
}

void MainWindow::lookAgain() {
    // Nothing reopens the device on the program's way out.
    if (program_.DeviceConnected == 1 || ProgramEnding()) return;
    // A ROM write that lost its device still runs to its end: the rest of
    // its data must not reach a device plugged in meanwhile.
    if (program_.link.heldExclusively()) {
        if (follower_) follower_->lookAgainLater();
        return;
    }
    connect();
}

// The working windows stay open: with the handles closed and DeviceFound
// still set, what they send goes nowhere until the device is back. A
// capture under way sees DeviceConnected drop and ends as its stop ends it.
void MainWindow::deviceLeft(const std::string& path) {
    if (program_.DeviceConnected == 0 || path != program_.link.DevicePath) return;
    program_.link.CloseDevice();
    showConnection(false);
}

void MainWindow::tellOnce(const std::string& line) {
    if (line == last_told_) return;
    last_told_ = line;
    PrintLine(line);
}

// Not found, not allowed and in use look the same in Text1; the tooltip and
// the terminal say which it is, since a missing udev rule, or a talvo4ctl
// still running, is the usual reason a plugged-in device stays unconnected.
// A TALVO-4 in use is named first: it is one this user could open.
void MainWindow::explainNotConnected() {
    if (const auto& holder = program_.link.inUseBy()) {
        Describe(Text1, Text1->accessibleName(), texts::InUseHint(*holder));
        tellOnce(InUseLine(*holder));
        return;
    }
    if (!program_.platform) return;
    const auto locked = FirstWithoutPermission(ListTalvoInterfaces(*program_.platform));
    if (!locked) return;
    Describe(Text1, Text1->accessibleName(), texts::kNoPermissionHint);
    tellOnce(NoPermissionLine(locked->path));
}

void MainWindow::Timer1_Timer() { program_.ticks.advance(); }

void MainWindow::Command1_Click() { showOnce<Form6>(timing_window_); }
void MainWindow::Command2_Click() { showOnce<Form2>(remote_window_); }
void MainWindow::Command3_Click() { showOnce<Form5>(capture_window_); }

Form2* MainWindow::remoteWindow() const {
    return qobject_cast<Form2*>(remote_window_.window.data());
}
Form5* MainWindow::captureWindow() const {
    return qobject_cast<Form5*>(capture_window_.window.data());
}
Form6* MainWindow::timingWindow() const {
    return qobject_cast<Form6*>(timing_window_.window.data());
}

void MainWindow::Command10_Click() {
    program_.rom_address = kRomAddress;
    download();
}

void MainWindow::download() { RunDownload(program_, *Text1, this); }

void MainWindow::closeEvent(QCloseEvent* event) {
    if (DownloadRunning()) {
        // Cut short, the write leaves the ROM area erased and unwritten. The
        // window closes once it has ended; Text1 shows its progress till then.
        event->ignore();
        if (!close_after_download_) {
            close_after_download_ = true;
            AfterDownload([self = QPointer<MainWindow>(this)] {
                if (self) self->close();
            });
        }
        return;
    }
    Form_Unload();
    event->accept();
}

void MainWindow::Form_Unload() {
    program_.link.CloseDevice();
    // The other windows vanish with this one, without their own closing steps;
    // every loop that is waiting inside a handler returns.
    SetProgramEnding(true);
    for (QWidget* window : {remote_window_.window.data(), capture_window_.window.data(),
                            timing_window_.window.data()}) {
        if (window) window->hide();
    }
    QCoreApplication::exit(0);
}

}  // namespace talvo
