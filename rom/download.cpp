#include "rom/download.h"

#include <QLineEdit>
#include <QPointer>
#include <chrono>

#include "app/program.h"
#include "app/ticks.h"
#include "rom/repaint_pacer.h"
#include "rom/rom_file.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"

namespace talvo {
namespace {

using namespace rom;

// A device that never reports its sum ready (one pulled out, or one that
// lost the checksum request) must not hold the tool for ever. A working
// device sums at most 1 MiB of its own flash; five seconds of polls leave a
// slow part ample room, and a device that stopped answering at all (each
// read then waits its full second) ends within six.
constexpr std::chrono::seconds kChecksumWait{5};

// Set while a write runs: the events it handles could start a second one,
// whose reports would land in the middle of the first one's data.
bool download_running = false;

class RunningFlag {
  public:
    RunningFlag() { download_running = true; }
    ~RunningFlag() { download_running = false; }
};

class Download {
  public:
    Download(Program& program, QLineEdit& status)
        : program_(program),
          device_(program.link),
          status_(&status),
          address_(program.rom_address) {}

    void run(QWidget* dialog_parent);

  private:
    // The main window may have closed during any event pass.
    bool going() const { return status_ && !ProgramEnding(); }
    void show(const QString& text) {
        if (status_) status_->setText(text);
    }
    bool pause() {
        program_.ticks.WaitTicks(2);
        return going();
    }
    bool pass() {
        ProcessPendingEvents();
        return going();
    }
    // The command is assembled only now: a handler that ran in the last event
    // pass may have left its own bytes in CommandBytes.
    void send(const CommandArray& command) {
        program_.link.CommandBytes = command;
        device_.SendCommand();
    }
    // One erase command, with the answer that paces the erase.
    bool erase(const CommandArray& command) {
        send(command);
        if (!pause()) return false;
        device_.ReadResponse();
        return pause();
    }
    bool eraseAll(const WritePlan& plan);
    bool transfer(RomFile& file, const WritePlan& plan);
    void verify(const QString& path, const WritePlan& plan);

    Program& program_;
    DeviceLink::Exclusive device_;
    QPointer<QLineEdit> status_;
    const int32_t address_;
};

void Download::run(QWidget* dialog_parent) {
    const QString path =
        program_.dialogs.getOpenFileName(dialog_parent, {texts::kOpenTitle, {}, {}, {}});
    if (path.isEmpty() || !going()) return;

    RomFile file;
    if (!file.open(path)) {
        show(texts::kUnreadableFile);
        return;
    }
    const WritePlan plan = PlanWrite(file.length());
    if (plan.empty()) {
        show(texts::kEmptyFile);
        return;
    }
    if (!eraseAll(plan) || !transfer(file, plan)) return;
    file.close();
    if (!pause()) return;
    device_.ReadResponse();
    if (!pause()) return;
    show(texts::kDownloadEnd);
    verify(path, plan);
}

bool Download::eraseAll(const WritePlan& plan) {
    for (int32_t block : BlockAddresses(plan, address_)) {
        if (!erase(EraseBlockCommand(block))) return false;
        show(texts::kErase);
    }
    for (int32_t sector : SectorAddresses(plan, address_))
        if (!erase(EraseSectorCommand(sector))) return false;
    return true;
}

bool Download::transfer(RomFile& file, const WritePlan& plan) {
    show(texts::kDownload);
    if (!pass()) return false;
    send(WriteStartCommand(address_, plan.transfer_length));
    // The device takes every report after the write start as data until it
    // has L bytes, so nothing may be read or sent in between.
    RepaintPacer pacer(status_);
    for (int32_t offset = 0; offset < plan.transfer_length; offset += kBytesPerReport) {
        const ReportData data = file.next();
        show(texts::ProgressText(offset));
        pacer.beforePass();
        if (!pass()) return false;
        pacer.afterPass();
        send(data);
    }
    return true;
}

void Download::verify(const QString& path, const WritePlan& plan) {
    RomFile file;
    if (!file.open(path)) {
        show(texts::kUnreadableFile);
        return;
    }
    show(texts::kChecksumStart);
    if (!pass()) return;
    // Both sums cover what was written, so a file changed in the meantime
    // shows as an error rather than as a shorter verify that passes.
    const uint16_t file_sum = SumReports(file, plan.dataReports());
    file.close();
    send(ChecksumRequestCommand(address_, plan.checksum_length));

    const auto deadline = std::chrono::steady_clock::now() + kChecksumWait;
    ChecksumStatus status;
    for (;;) {
        if (!pause()) return;
        send(kStatusPoll);
        device_.ReadResponse();
        // Taken at once: a read held off during the next wait empties the
        // shared response buffer.
        status = ReadChecksumStatus(program_.link.ResponseBuffer);
        if (status.ready) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            show(texts::kNoChecksum);
            pass();
            return;
        }
    }
    if (!pause()) return;
    show(texts::VerdictText(status.device_sum, file_sum));
    pass();
}

}  // namespace

void RunDownload(Program& program, QLineEdit& status, QWidget* dialog_parent) {
    if (download_running) return;
    RunningFlag running;
    Download(program, status).run(dialog_parent);
}

}  // namespace talvo
