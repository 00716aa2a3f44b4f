#include "rom/download.h"

#include <QLineEdit>
#include <QPointer>
#include <vector>

#include "rom/paced_text.h"
#include "rom/rom_texts.h"
#include "rom/rom_write.h"
#include "rom/sleep_inhibitor.h"
#include "ui/program.h"
#include "ui/window_pacer.h"

namespace talvo {
namespace {

// Set while a write runs: the events it handles could start a second one,
// whose reports would land in the middle of the first one's data.
bool download_running = false;

// What waits for the device until the write has let go of it.
std::vector<std::function<void()>>& StepsAfterDownload() {
    static std::vector<std::function<void()>> steps;
    return steps;
}

void RunStepsAfterDownload() {
    std::vector<std::function<void()>> steps;
    steps.swap(StepsAfterDownload());
    for (const auto& step : steps)
        if (!ProgramEnding()) step();
}

class RunningFlag {
  public:
    RunningFlag() { download_running = true; }
    ~RunningFlag() { download_running = false; }
};

// The main window's ticks and event passes; Text1 takes the write's texts at
// the pace PacedText allows, and the latest one before every wait.
class DownloadPacer : public TickPacer {
  public:
    DownloadPacer(Ticks& ticks, QPointer<QLineEdit> status)
        : TickPacer(ticks, [status] { return !status.isNull(); }),
          text_(
              [status](const QString& text) {
                  if (status) status->setText(text);
              },
              [&ticks] { return ticks.now(); }) {}

    bool waitTicks(int ticks) override {
        text_.flush();
        return TickPacer::waitTicks(ticks);
    }
    PacedText& text() { return text_; }

  private:
    PacedText text_;
};

void WriteChosenFile(Program& program, QLineEdit& status, QWidget* dialog_parent) {
    // Other windows stay off the device from the click on, the file dialog's
    // events included; the write then sends through this same hold.
    DeviceLink::Exclusive hold(program.link);
    QPointer<QLineEdit> text1(&status);
    const QString path =
        program.dialogs.getOpenFileName(dialog_parent, {rom_texts::kOpenTitle, {}, {}, {}, {}});
    if (path.isEmpty() || !text1 || ProgramEnding()) return;

    DownloadPacer pacer(program.ticks, text1);
    RomWriteObserver observer;
    observer.status = [&pacer](const QString& text) { pacer.text().show(text); };
    observer.progress_text = [&pacer](const QString& text) { pacer.text().offer(text); };
    // Without a logind the write goes on as it always has, and the window
    // says nothing about it.
    WriteRom(program.link, program.rom_address, path, {pacer}, observer,
             {.keep_awake_as = kSleepInhibitWho, .hold = &hold});
}

}  // namespace

void RunDownload(Program& program, QLineEdit& status, QWidget* dialog_parent) {
    // A click while another window's sequence holds the device is not taken.
    if (download_running || program.link.heldExclusively()) return;
    {
        RunningFlag running;
        WriteChosenFile(program, status, dialog_parent);
    }
    RunStepsAfterDownload();
}

bool DownloadRunning() { return download_running; }

void AfterDownload(std::function<void()> step) {
    if (!download_running) {
        if (!ProgramEnding()) step();
        return;
    }
    StepsAfterDownload().push_back(std::move(step));
}

}  // namespace talvo
