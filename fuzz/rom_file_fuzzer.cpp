// Any file as a ROM write's file: its plan must cover exactly what is sent,
// and the sum over the reports must be the sum over the file's first
// megabyte, zeros past its end.
//
// An input that starts with "LONG" and three length bytes (low byte first)
// stands for a file of that length (below 2 MiB): the rest of the input, then
// zeros. That reaches the 1 MiB cap without megabyte-long inputs.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_file.h"
#include "rom/rom_file.h"
#include "rom/rom_plan.h"

namespace {

using namespace talvo;

void Check(bool holds) {
    if (!holds) std::abort();
}

void CheckPlan(const WritePlan& plan, int64_t file_length) {
    const int64_t capped = std::min(file_length, kMaxWriteLength);
    Check(plan.checksum_length == capped);
    Check(plan.transfer_length % kBytesPerReport == 0);
    Check(plan.transfer_length >= capped && plan.transfer_length < capped + kBytesPerReport);
    if (plan.empty()) {
        Check(plan.blocks == 0 && plan.sectors == 0);
        return;
    }
    // The erases cover the transfer, and no more than the sector it ends in.
    const int64_t erased = int64_t(plan.blocks) * kBlockSize + int64_t(plan.sectors) * kSectorSize;
    Check(erased >= plan.transfer_length && erased < plan.transfer_length + kSectorSize);
    Check(plan.sectors >= 1 && plan.sectors <= kBlockSize / kSectorSize);

    // Ascending, adjacent erases that all fit the three address bytes.
    int32_t next = kRomAddress;
    for (int32_t address : BlockAddresses(plan, kRomAddress)) {
        Check(address == next);
        next += kBlockSize;
    }
    for (int32_t address : SectorAddresses(plan, kRomAddress)) {
        Check(address == next);
        next += kSectorSize;
    }
    Check(next <= 0x1000000);
    const auto length = LowByteFirst(plan.transfer_length);
    Check(length[0] + 256 * length[1] + 65536 * length[2] == plan.transfer_length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::span<const uint8_t> content{data, size};
    int64_t file_length = int64_t(size);
    if (size >= 7 && std::memcmp(data, "LONG", 4) == 0) {
        content = content.subspan(7);
        file_length = std::max<int64_t>(int64_t(content.size()),
                                        data[4] + 256 * data[5] + 65536 * (data[6] & 0x1F));
    }

    RomFile file;
    Check(file.open(fuzz::WriteFuzzFile(content, file_length)));
    Check(file.length() == file_length);
    const WritePlan plan = PlanWrite(file.length());
    CheckPlan(plan, file_length);
    file.expect(plan.checksum_length);

    const auto summed = std::min<int64_t>(plan.checksum_length, int64_t(content.size()));
    unsigned expected = 0;
    for (int64_t i = 0; i < summed; ++i) expected = (expected + content[size_t(i)]) & 0xFFFF;
    Check(SumReports(file, plan.dataReports()) == expected);
    // Past the file, every report is zeros.
    Check(file.next() == RomReportData{} || file_length > plan.transfer_length);
    file.close();
    return 0;
}
