#include "rom/rom_write.h"

#include <optional>

#include "rom/rom_file.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "rom/sleep_inhibitor.h"

namespace talvo {
namespace {

// Every wait of the write lasts two ticks: about 20 ms at the main window's
// pace, close to what the device has always been given.
constexpr int kWaitTicks = 2;

class RomWrite {
  public:
    // The front end's stop request is asked before the first report, and
    // between status polls only where `stop_polling` says so: once the
    // write has begun, it is not given up on at the user's wish.
    RomWrite(DeviceLink& link, DeviceLink::Exclusive& device, int32_t rom_address,
             FrontEnd front_end, bool stop_polling, const RomWriteObserver& observer)
        : link_(link),
          device_(device),
          address_(rom_address),
          pacer_(front_end.pacer),
          on_lost_(front_end.on_lost),
          stop_before_start_(front_end.stop),
          stop_(stop_polling ? front_end.stop : StopRequest{}),
          observer_(observer) {}

    Outcome<RomWriteDetail> run(const QString& path, const QString& keep_awake_as);
    Outcome<RomWriteDetail> checkOnly(const QString& path);

  private:
    // Each step returns false when the write must end; outcome_ then says why.
    bool end(Ending ending) {
        outcome_.ending = ending;
        return false;
    }
    bool refuse(RomWriteResult result) {
        outcome_.detail.result = result;
        return false;
    }
    bool wait() { return pacer_.waitTicks(kWaitTicks) || end(Ending::FrontEndGone); }
    // A stop asked for before the first report (a Ctrl+C while the device
    // was opened, or while the sleep lock was asked for) sends nothing.
    bool started() { return !stop_before_start_ || !stop_before_start_() || end(Ending::Stopped); }
    bool pass() { return pacer_.pass() || end(Ending::FrontEndGone); }
    bool lost() {
        const auto trouble = EndingOnTrouble(link_, on_lost_);
        if (trouble) end(*trouble);
        return trouble.has_value();
    }
    void show(const QString& text) { Tell(observer_.status, text); }
    // The command is assembled only now: whatever ran in the last pass may
    // have left its own bytes in CommandBytes.
    bool send(const CommandArray& command) {
        link_.CommandBytes = command;
        device_.SendCommand();
        return !lost();
    }
    bool read() {
        device_.ReadResponse();
        return !lost();
    }
    // One erase command, with the answer that paces the erase.
    bool erase(const CommandArray& command) { return send(command) && wait() && read() && wait(); }
    // The answer that closes the transfer.
    bool closeTransfer() { return wait() && read() && wait(); }
    // Refuses the file as unreadable, saying so.
    bool unreadable();
    bool eraseAll(const WritePlan& plan);
    bool transfer(RomFile& file, const WritePlan& plan);
    // The plan for the file at `path`; nullopt (the outcome saying why) for
    // a file that cannot be read or is empty.
    std::optional<WritePlan> planFor(const QString& path, RomFile& file);
    bool verify(const QString& path, const WritePlan& plan);
    bool pollForSum(ChecksumStatus& status);

    DeviceLink& link_;
    DeviceLink::Exclusive& device_;
    const int32_t address_;
    Pacer& pacer_;
    const OnDeviceLost on_lost_;
    const StopRequest stop_before_start_;
    const StopRequest stop_;
    const RomWriteObserver& observer_;
    Outcome<RomWriteDetail> outcome_;
};

std::optional<WritePlan> RomWrite::planFor(const QString& path, RomFile& file) {
    if (!file.open(path)) {
        unreadable();
        return std::nullopt;
    }
    const WritePlan plan = PlanWrite(file.length());
    if (plan.empty()) {
        show(rom_texts::kEmptyFile);
        refuse(RomWriteResult::EmptyFile);
        return std::nullopt;
    }
    file.expect(plan.checksum_length);
    outcome_.detail.transfer_length = plan.transfer_length;
    return plan;
}

bool RomWrite::unreadable() {
    show(rom_texts::kUnreadableFile);
    return refuse(RomWriteResult::UnreadableFile);
}

Outcome<RomWriteDetail> RomWrite::run(const QString& path, const QString& keep_awake_as) {
    RomWriteDetail& detail = outcome_.detail;
    RomFile file;
    const std::optional<WritePlan> planned = planFor(path, file);
    if (!planned) return outcome_;
    const WritePlan& plan = *planned;
    // Read through once before anything is erased: a file that cannot be
    // read to its planned end (a failing stick) is refused with the ROM
    // still whole. The transfer reads it again, and checks every read.
    if (!SumReports(file, plan.dataReports()) || !file.open(path)) {
        unreadable();
        return outcome_;
    }

    // Held until the verdict stands, however the write ends.
    std::optional<SleepInhibitor> no_sleep;
    if (!keep_awake_as.isEmpty()) {
        no_sleep.emplace(keep_awake_as);
        if (!no_sleep->held()) Tell(observer_.no_sleep_lock, no_sleep->failure());
    }
    if (!started()) return outcome_;
    detail.phase = RomWritePhase::Erase;
    if (!eraseAll(plan)) return outcome_;
    detail.phase = RomWritePhase::Transfer;
    if (!transfer(file, plan)) return outcome_;
    file.close();
    detail.phase = RomWritePhase::TransferEnd;
    if (!closeTransfer()) return outcome_;
    show(rom_texts::kDownloadEnd);
    detail.phase = RomWritePhase::Verify;
    if (verify(path, plan)) detail.phase = RomWritePhase::Done;
    return outcome_;
}

Outcome<RomWriteDetail> RomWrite::checkOnly(const QString& path) {
    RomFile file;
    const std::optional<WritePlan> plan = planFor(path, file);
    if (!plan) return outcome_;
    file.close();
    if (!started()) return outcome_;
    outcome_.detail.phase = RomWritePhase::Verify;
    if (verify(path, *plan)) outcome_.detail.phase = RomWritePhase::Done;
    return outcome_;
}

bool RomWrite::eraseAll(const WritePlan& plan) {
    for (int32_t block : BlockAddresses(plan, address_)) {
        if (!erase(EraseBlockCommand(block))) return false;
        show(rom_texts::kErase);
    }
    for (int32_t sector : SectorAddresses(plan, address_))
        if (!erase(EraseSectorCommand(sector))) return false;
    return true;
}

bool RomWrite::transfer(RomFile& file, const WritePlan& plan) {
    show(rom_texts::kDownload);
    if (!pass() || !send(WriteStartCommand(address_, plan.transfer_length))) return false;
    // The device takes every report after the write start as data until it
    // has L bytes, so nothing may be read or sent in between. A file that
    // fails to read from some report on (shortened since the plan, or on a
    // failing stick) has zeros sent in its place, so that the device still
    // gets all it waits for and takes no later command as data; the write
    // then ends unverified.
    bool read_whole = true;
    const int64_t total = plan.transfer_length;
    for (int32_t offset = 0; offset < plan.transfer_length; offset += kBytesPerReport) {
        std::optional<RomReportData> read = read_whole ? file.next() : std::nullopt;
        read_whole = read.has_value();
        const RomReportData data = read.value_or(RomReportData{});
        Tell(observer_.progress, offset, total);
        // Built only for a front end that shows it: 131072 texts per MiB.
        if (observer_.progress_text) observer_.progress_text(rom_texts::ProgressText(offset));
        if (!pass()) return false;
        if (!send(data)) return false;
        outcome_.detail.bytes_sent = offset + kBytesPerReport;
    }
    Tell(observer_.progress, total, total);
    return read_whole || (closeTransfer() && unreadable());
}

bool RomWrite::verify(const QString& path, const WritePlan& plan) {
    RomFile file;
    if (!file.open(path)) return unreadable();
    show(rom_texts::kChecksumStart);
    if (!pass()) return false;
    // Both sums cover what was written, so a file changed in the meantime
    // shows as an error rather than as a shorter verify that passes; one
    // that can no longer be read that far gives no sum at all.
    file.expect(plan.checksum_length);
    const std::optional<uint16_t> file_sum = SumReports(file, plan.dataReports());
    file.close();
    if (!file_sum) return unreadable();
    RomWriteDetail& detail = outcome_.detail;
    detail.file_sum = *file_sum;
    if (!send(ChecksumRequestCommand(address_, plan.checksum_length))) return false;

    ChecksumStatus status;
    if (!pollForSum(status)) return false;
    if (!wait()) return false;
    detail.device_sum = status.device_sum;
    detail.result = status.device_sum == detail.file_sum ? RomWriteResult::SumsMatch
                                                         : RomWriteResult::SumsDiffer;
    show(rom_texts::VerdictText(status.device_sum, detail.file_sum));
    // The verdict stands even when the front end goes in this last pass.
    pacer_.pass();
    return true;
}

// A device that never reports its sum ready (one pulled out, or one that
// lost the checksum request) must not hold the front end for ever.
bool RomWrite::pollForSum(ChecksumStatus& status) {
    const auto deadline = pacer_.now() + kChecksumWait;
    for (;;) {
        // Not link.exchange(): a poll that could not be sent ends the write
        // before its read, where the terminal asked to end on trouble.
        if (stop_ && stop_()) return end(Ending::Stopped);
        if (!wait() || !send(kStatusPoll) || !read()) return false;
        // Taken at once: a read held off during the next wait empties the
        // shared response buffer.
        status = ReadChecksumStatus(link_.ResponseBuffer);
        if (status.ready) return true;
        if (pacer_.now() >= deadline) {
            show(rom_texts::kNoChecksum);
            pacer_.pass();
            return refuse(RomWriteResult::NoChecksumAnswer);
        }
    }
}

}  // namespace

Outcome<RomWriteDetail> WriteRom(DeviceLink& link, int32_t rom_address, const QString& path,
                                 FrontEnd front_end, const RomWriteObserver& observer,
                                 const RomWriteOptions& options) {
    if (!options.hold && link.heldExclusively()) return {Ending::DeviceBusy, {}};
    std::optional<DeviceLink::Exclusive> own_hold;
    DeviceLink::Exclusive& hold = options.hold ? *options.hold : own_hold.emplace(link);
    return RomWrite(link, hold, rom_address, front_end, false, observer)
        .run(path, options.keep_awake_as);
}

Outcome<RomWriteDetail> VerifyRom(DeviceLink& link, int32_t rom_address, const QString& path,
                                  FrontEnd front_end, const RomWriteObserver& observer) {
    if (link.heldExclusively()) return {Ending::DeviceBusy, {}};
    DeviceLink::Exclusive hold(link);
    return RomWrite(link, hold, rom_address, front_end, true, observer).checkOnly(path);
}

}  // namespace talvo
