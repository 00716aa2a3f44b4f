// The ROM write of a small file against a device whose every answer comes
// from the fuzz input: the answers that pace the erases and the transfer, and
// the status polls with the checksum.
//
// Input: byte 0 is the file's length (its bytes are a fixed pattern). Byte 1:
// bit 0 ends the write when the device is lost (the terminal tool's way),
// bits 1 to 7 make the front end go at that turn (0: never). The rest is the
// device's script (see TalvoModel::scriptAnswers).
//
// What must hold for any answer: the reports are exactly the erases, the
// write start, the file's bytes and the checksum request of the file, then
// status polls; the verdict compares the file's sum with the sum the ready
// answer carried; the polls end within the checksum wait; and nothing is
// sent for an empty file.

#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_file.h"
#include "fuzz/sequence_rig.h"
#include "rom/rom_plan.h"
#include "rom/rom_write.h"

namespace {

using namespace talvo;
using fuzz::Check;

// A poll every two 10 ms ticks at the most.
constexpr int kMostPolls = int(kChecksumWait / (2 * kMainTick)) + 1;

std::vector<uint8_t> FileBytes(size_t length) {
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i) bytes[i] = uint8_t(i * 29 + 3);
    return bytes;
}

// The file's path, written once per length: its bytes follow from its
// length, and the write only reads it.
QString PathOf(const std::vector<uint8_t>& file) {
    static std::array<QString, 256> paths;
    QString& path = paths[file.size()];
    if (path.isEmpty())
        path = fuzz::WriteFuzzFile(file, int64_t(file.size()),
                                   QStringLiteral("rom%1.bin").arg(file.size()));
    return path;
}

// The reports and reads of a write of `file` up to its checksum request.
struct Step {
    bool is_read;
    CommandArray command;
};
std::vector<Step> ExpectedSteps(const std::vector<uint8_t>& file) {
    const WritePlan plan = PlanWrite(int64_t(file.size()));
    std::vector<Step> steps;
    for (int32_t address : BlockAddresses(plan, kRomAddress)) {
        steps.push_back({false, EraseBlockCommand(address)});
        steps.push_back({true, {}});
    }
    for (int32_t address : SectorAddresses(plan, kRomAddress)) {
        steps.push_back({false, EraseSectorCommand(address)});
        steps.push_back({true, {}});
    }
    steps.push_back({false, WriteStartCommand(kRomAddress, plan.transfer_length)});
    for (int32_t offset = 0; offset < plan.transfer_length; offset += kBytesPerReport) {
        CommandArray data{};
        for (size_t i = 0; i < data.size(); ++i)
            if (size_t(offset) + i < file.size()) data[i] = file[size_t(offset) + i];
        steps.push_back({false, data});
    }
    steps.push_back({true, {}});
    steps.push_back({false, ChecksumRequestCommand(kRomAddress, plan.checksum_length)});
    return steps;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const std::vector<uint8_t> file = FileBytes(data[0]);
    const OnDeviceLost on_lost = (data[1] & 1) != 0 ? OnDeviceLost::End : OnDeviceLost::GoOn;
    fuzz::SequenceRig rig({data + 2, size - 2});
    sim::SimPacer pacer(rig.device.clock, kMainTick);
    pacer.leaveAt(sim::SimPacer::Turn::Pass, data[1] >> 1);
    const auto& log = rig.log.all();

    const Outcome<RomWriteDetail> outcome =
        WriteRom(rig.link, kRomAddress, PathOf(file), {pacer, {}, on_lost});
    const RomWriteDetail& detail = outcome.detail;

    if (file.empty()) {
        Check(outcome.done() && detail.result == RomWriteResult::EmptyFile && log.empty());
        return 0;
    }
    // The protocol up to the checksum request, then polls, and nothing else.
    const std::vector<Step> steps = ExpectedSteps(file);
    size_t i = 0;
    for (; i < log.size() && i < steps.size(); ++i) {
        Check(log[i].is_read == steps[i].is_read);
        if (!steps[i].is_read) Check(log[i].command == steps[i].command);
    }
    int polls = 0;
    bool ready = false;
    for (; i < log.size(); i += 2) {
        Check(!log[i].is_read && log[i].command == kStatusPoll);
        Check(!ready);  // no poll after the sum came
        ++polls;
        if (i + 1 == log.size()) break;  // the write ended before the poll's read
        Check(log[i + 1].is_read);
        ready = log[i + 1].data[0] == 1;
    }
    Check(polls <= kMostPolls);

    const bool verdict = outcome.done() && (detail.result == RomWriteResult::SumsMatch ||
                                            detail.result == RomWriteResult::SumsDiffer);
    Check(verdict == ready);
    if (verdict) {
        unsigned file_sum = 0;
        for (size_t b = 0; b < file.size(); ++b) file_sum = (file_sum + file[b]) & 0xFFFF;
        const auto& answer = log.back().data;
        Check(detail.file_sum == file_sum);
        Check(detail.device_sum == answer[1] + 256 * answer[2]);
        Check((detail.result == RomWriteResult::SumsMatch) == (detail.device_sum == file_sum));
    }
    if (outcome.ending == Ending::DeviceLost || outcome.ending == Ending::DeviceSilent)
        Check(on_lost == OnDeviceLost::End && rig.link.deviceLost());
    if (outcome.done() && detail.result == RomWriteResult::NoChecksumAnswer)
        Check(polls > 0 && !ready);
    if (on_lost == OnDeviceLost::GoOn && data[1] >> 1 == 0)
        Check(outcome.done() && (verdict || detail.result == RomWriteResult::NoChecksumAnswer));
    return 0;
}
