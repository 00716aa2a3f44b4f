#pragma once
// The arithmetic of a ROM write: how much is sent, what is erased first, how
// the commands are laid out, and the 16-bit sum both sides compare.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "device/device_link.h"

namespace talvo {

// The only address the tools write to: the device runs what lies elsewhere,
// and a write there could overwrite it.
inline constexpr int32_t kRomAddress = 0xE8000;

inline constexpr int64_t kMaxWriteLength = 1048576;
inline constexpr int32_t kBlockSize = 32768;
inline constexpr int32_t kSectorSize = 4096;
inline constexpr int32_t kBytesPerReport = 8;

struct WritePlan {
    int32_t transfer_length = 0;  // L: capped, then rounded up to whole data reports
    int32_t checksum_length = 0;  // N: capped, not rounded
    int32_t blocks = 0;           // B: 32 KiB block erases
    int32_t sectors = 0;          // S: 4 KiB sector erases after the blocks

    bool empty() const { return transfer_length == 0; }
    int32_t dataReports() const { return transfer_length / kBytesPerReport; }
};

// An empty file (or a nonsensical negative length) plans nothing at all.
WritePlan PlanWrite(int64_t file_length);

// Start addresses of the erases, in the order they are sent.
std::vector<int32_t> BlockAddresses(const WritePlan& plan, int32_t rom_address);
std::vector<int32_t> SectorAddresses(const WritePlan& plan, int32_t rom_address);

// Every address and length travels as three bytes, low byte first.
std::array<uint8_t, 3> LowByteFirst(int32_t value);

CommandArray EraseBlockCommand(int32_t address);
CommandArray EraseSectorCommand(int32_t address);
CommandArray WriteStartCommand(int32_t address, int32_t length);
CommandArray ChecksumRequestCommand(int32_t address, int32_t length);
inline constexpr CommandArray kStatusPoll{};

// What a status poll answered: byte 1 is 1 once the device sum is ready,
// bytes 2 (low) and 3 (high) then hold it.
struct ChecksumStatus {
    bool ready = false;
    uint16_t device_sum = 0;
};
ChecksumStatus ReadChecksumStatus(const InputReport& response);

// Adds bytes to an unsigned 16-bit sum, modulo 65536.
uint16_t AddToSum(uint16_t sum, std::span<const uint8_t> bytes);

}  // namespace talvo
