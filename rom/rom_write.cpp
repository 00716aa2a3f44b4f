#include "rom/rom_write.h"

#include "rom/rom_file.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"

namespace talvo::rom {
namespace {

// Every wait of the write lasts two ticks: about 20 ms at the main window's
// pace, close to what the device has always been given.
constexpr int kWaitTicks = 2;

class RomWrite {
  public:
    RomWrite(DeviceLink& link, int32_t rom_address, Pacer& pacer, const RomWriteObserver& observer,
             RomWriteOptions options)
        : link_(link),
          device_(link),
          address_(rom_address),
          pacer_(pacer),
          observer_(observer),
          options_(options) {}

    RomWriteOutcome run(const QString& path);

  private:
    // Each step returns false when the write must end; outcome_ then says why.
    bool end(RomWriteResult result) {
        outcome_.result = result;
        return false;
    }
    bool wait() { return pacer_.waitTicks(kWaitTicks) || end(RomWriteResult::Aborted); }
    bool pass() { return pacer_.pass() || end(RomWriteResult::Aborted); }
    bool lost() {
        if (!options_.end_when_device_lost || !link_.deviceLost()) return false;
        end(RomWriteResult::DeviceLost);
        return true;
    }
    void show(const QString& text) {
        if (observer_.status) observer_.status(text);
    }
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
    bool eraseAll(const WritePlan& plan);
    bool transfer(RomFile& file, const WritePlan& plan);
    bool verify(const QString& path, const WritePlan& plan);
    bool pollForSum(ChecksumStatus& status);

    DeviceLink& link_;
    DeviceLink::Exclusive device_;
    const int32_t address_;
    Pacer& pacer_;
    const RomWriteObserver& observer_;
    const RomWriteOptions options_;
    RomWriteOutcome outcome_;
};

RomWriteOutcome RomWrite::run(const QString& path) {
    RomFile file;
    if (!file.open(path)) {
        show(texts::kUnreadableFile);
        end(RomWriteResult::UnreadableFile);
        return outcome_;
    }
    const WritePlan plan = PlanWrite(file.length());
    if (plan.empty()) {
        show(texts::kEmptyFile);
        end(RomWriteResult::EmptyFile);
        return outcome_;
    }
    outcome_.transfer_length = plan.transfer_length;

    outcome_.phase = RomWritePhase::Erase;
    if (!eraseAll(plan)) return outcome_;
    outcome_.phase = RomWritePhase::Transfer;
    if (!transfer(file, plan)) return outcome_;
    file.close();
    outcome_.phase = RomWritePhase::TransferEnd;
    if (!wait() || !read() || !wait()) return outcome_;
    show(texts::kDownloadEnd);
    outcome_.phase = RomWritePhase::Verify;
    if (verify(path, plan)) outcome_.phase = RomWritePhase::Done;
    return outcome_;
}

bool RomWrite::eraseAll(const WritePlan& plan) {
    for (int32_t block : BlockAddresses(plan, address_)) {
        if (!erase(EraseBlockCommand(block))) return false;
        show(texts::kErase);
    }
    for (int32_t sector : SectorAddresses(plan, address_))
        if (!erase(EraseSectorCommand(sector))) return false;
    return true;
}

bool RomWrite::transfer(RomFile& file, const WritePlan& plan) {
    show(texts::kDownload);
    if (!pass() || !send(WriteStartCommand(address_, plan.transfer_length))) return false;
    // The device takes every report after the write start as data until it
    // has L bytes, so nothing may be read or sent in between.
    const int64_t total = plan.transfer_length;
    for (int32_t offset = 0; offset < plan.transfer_length; offset += kBytesPerReport) {
        const ReportData data = file.next();
        if (observer_.progress) observer_.progress(offset, total);
        if (observer_.progress_text) observer_.progress_text(texts::ProgressText(offset));
        if (!pass()) return false;
        if (!send(data)) return false;
        outcome_.bytes_sent = offset + kBytesPerReport;
    }
    if (observer_.progress) observer_.progress(total, total);
    return true;
}

bool RomWrite::verify(const QString& path, const WritePlan& plan) {
    RomFile file;
    if (!file.open(path)) {
        show(texts::kUnreadableFile);
        return end(RomWriteResult::UnreadableFile);
    }
    show(texts::kChecksumStart);
    if (!pass()) return false;
    // Both sums cover what was written, so a file changed in the meantime
    // shows as an error rather than as a shorter verify that passes.
    outcome_.file_sum = SumReports(file, plan.dataReports());
    file.close();
    if (!send(ChecksumRequestCommand(address_, plan.checksum_length))) return false;

    ChecksumStatus status;
    if (!pollForSum(status)) return false;
    if (!wait()) return false;
    outcome_.device_sum = status.device_sum;
    outcome_.result = status.device_sum == outcome_.file_sum ? RomWriteResult::SumsMatch
                                                             : RomWriteResult::SumsDiffer;
    show(texts::VerdictText(status.device_sum, outcome_.file_sum));
    // The verdict stands even when the front end goes in this last pass.
    pacer_.pass();
    return true;
}

// A device that never reports its sum ready (one pulled out, or one that
// lost the checksum request) must not hold the front end for ever.
bool RomWrite::pollForSum(ChecksumStatus& status) {
    const auto deadline = pacer_.now() + kChecksumWait;
    for (;;) {
        if (!wait() || !send(kStatusPoll) || !read()) return false;
        // Taken at once: a read held off during the next wait empties the
        // shared response buffer.
        status = ReadChecksumStatus(link_.ResponseBuffer);
        if (status.ready) return true;
        if (pacer_.now() >= deadline) {
            show(texts::kNoChecksum);
            pacer_.pass();
            return end(RomWriteResult::NoChecksumAnswer);
        }
    }
}

}  // namespace

RomWriteOutcome WriteRom(DeviceLink& link, int32_t rom_address, const QString& path, Pacer& pacer,
                         const RomWriteObserver& observer, RomWriteOptions options) {
    return RomWrite(link, rom_address, pacer, observer, options).run(path);
}

}  // namespace talvo::rom
