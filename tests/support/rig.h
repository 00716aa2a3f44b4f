#pragma once
// A whole tool on the simulated TALVO-4, as the tests drive it.

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "app/main_window.h"
#include "sim/sim_platform.h"
#include "ui/program.h"

namespace talvo::testing {

// File dialogs that answer from a script and remember what they were asked.
class ScriptedDialogs : public FileDialogs {
  public:
    std::deque<QString> answers;  // next returned paths; empty: the user cancels
    std::vector<FileDialogRequest> open_requests;
    std::vector<FileDialogRequest> save_requests;
    // What the user does while a dialog is open, before it answers.
    std::function<void()> while_open;

    QString getOpenFileName(QWidget*, const FileDialogRequest& request) override;
    QString getSaveFileName(QWidget*, const FileDialogRequest& request) override;

  private:
    QString next();
};

struct Rig {
    // connected: the simulated TALVO-4 is present at start-up.
    explicit Rig(bool connected = true);
    ~Rig();

    // The main window, created on first use (its load runs connect).
    MainWindow& main();

    sim::TalvoModel talvo;
    sim::SimPlatform platform;
    DeviceLink link;
    ScriptedDialogs dialogs;
    Program program;

  private:
    std::unique_ptr<MainWindow> main_;
};

// The commands with `code` the device received, in the order they went out.
std::vector<CommandArray> SentWithCode(const Rig& rig, uint8_t code);

// From now on `ticks` pass on the simulated device's clock, made virtual: a
// wait costs no real time, and the device sees as much time pass as the
// ticks counted. `after_tick`, if set, runs after each tick.
void DriveTicksByDevice(Ticks& ticks, sim::TalvoModel& talvo,
                        std::function<void()> after_tick = {});

// Every visible text of a window and its controls: captions, labels, texts,
// titles, accessible names and descriptions, tooltips.
QStringList ShownTexts(const QWidget* window);

}  // namespace talvo::testing

namespace talvo::testing {
// A whole file's bytes; empty when it cannot be read.
QByteArray ReadFile(const QString& path);
// Writes `bytes` as the whole file; false when that fails.
bool WriteFile(const QString& path, const QByteArray& bytes);

// True when `text` encodes in code page 932 without loss and decodes back to itself.
bool EncodesInCp932(const QString& text);
}  // namespace talvo::testing
