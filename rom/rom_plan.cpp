#include "rom/rom_plan.h"

#include <algorithm>

namespace talvo {
namespace {

constexpr std::array<uint8_t, 3> kEraseKey{0x55, 0xAA, 0x55};

CommandArray AddressCommand(uint8_t code, int32_t address, std::array<uint8_t, 3> tail) {
    const auto a = LowByteFirst(address);
    return {code, 0x00, a[0], a[1], a[2], tail[0], tail[1], tail[2]};
}

}  // namespace

WritePlan PlanWrite(int64_t file_length) {
    WritePlan plan;
    const int64_t capped = std::clamp<int64_t>(file_length, 0, kMaxWriteLength);
    if (capped == 0) return plan;
    plan.checksum_length = int32_t(capped);
    plan.transfer_length =
        int32_t((capped + kBytesPerReport - 1) / kBytesPerReport * kBytesPerReport);
    const int32_t length = plan.transfer_length;
    // The last 32 KiB, even a whole block of them, go as sectors.
    plan.blocks = (length - 1) / kBlockSize;
    plan.sectors = (length - plan.blocks * kBlockSize + kSectorSize - 1) / kSectorSize;
    return plan;
}

std::vector<int32_t> BlockAddresses(const WritePlan& plan, int32_t rom_address) {
    std::vector<int32_t> addresses;
    for (int32_t k = 0; k < plan.blocks; ++k) addresses.push_back(rom_address + k * kBlockSize);
    return addresses;
}

std::vector<int32_t> SectorAddresses(const WritePlan& plan, int32_t rom_address) {
    std::vector<int32_t> addresses;
    const int32_t first = rom_address + plan.blocks * kBlockSize;
    for (int32_t j = 0; j < plan.sectors; ++j) addresses.push_back(first + j * kSectorSize);
    return addresses;
}

std::array<uint8_t, 3> LowByteFirst(int32_t value) {
    // Shifting a negative value rounds towards minus infinity, as the
    // division by 256 and 65536 of the wire format does.
    return {uint8_t(value & 0xFF), uint8_t((value >> 8) & 0xFF), uint8_t((value >> 16) & 0xFF)};
}

CommandArray EraseBlockCommand(int32_t address) { return AddressCommand(0x05, address, kEraseKey); }

CommandArray EraseSectorCommand(int32_t address) {
    return AddressCommand(0x04, address, kEraseKey);
}

CommandArray WriteStartCommand(int32_t address, int32_t length) {
    return AddressCommand(0x01, address, LowByteFirst(length));
}

CommandArray ChecksumRequestCommand(int32_t address, int32_t length) {
    return AddressCommand(0x06, address, LowByteFirst(length));
}

ChecksumStatus ReadChecksumStatus(const InputReport& response) {
    return {response[1] == 1, uint16_t(response[2] | response[3] << 8)};
}

uint16_t AddToSum(uint16_t sum, std::span<const uint8_t> bytes) {
    for (uint8_t b : bytes) sum = uint16_t(sum + b);
    return sum;
}

}  // namespace talvo
