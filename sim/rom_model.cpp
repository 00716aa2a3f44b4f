#include "sim/rom_model.h"

#include <algorithm>

namespace talvo::sim {
namespace {

constexpr uint8_t kErasedByte = 0xFF;

uint32_t ThreeBytes(const CommandArray& command, size_t first) {
    return uint32_t(command[first]) | uint32_t(command[first + 1]) << 8 |
           uint32_t(command[first + 2]) << 16;
}

// The erase commands carry a key so that a stray report cannot wipe the ROM.
bool HasEraseKey(const CommandArray& command) {
    return command[5] == 0x55 && command[6] == 0xAA && command[7] == 0x55;
}

}  // namespace

RomModel::RomModel() = default;

std::vector<uint8_t>& RomModel::cells() const {
    static const std::vector<uint8_t> kFresh = [] {
        std::vector<uint8_t> fresh(kSize);
        for (uint32_t address = 0; address < kSize; ++address) fresh[address] = FreshByte(address);
        return fresh;
    }();
    // Copied into the memory it has, so that a reset ROM allocates nothing.
    if (rom_.empty()) rom_.assign(kFresh.begin(), kFresh.end());
    return rom_;
}

bool RomModel::restore(std::span<const uint8_t> cells) {
    if (cells.size() != kSize) return false;
    rom_.assign(cells.begin(), cells.end());
    return true;
}

uint8_t RomModel::FreshByte(uint32_t address) {
    uint32_t x = address * 2654435761u + 0x9E3779B9u;
    x ^= x >> 15;
    x *= 0x2C1B3C6Du;
    x ^= x >> 12;
    return uint8_t(x);
}

std::span<const uint8_t> RomModel::range(uint32_t address, uint32_t length) const {
    if (address >= kSize) return {};
    return std::span<const uint8_t>(cells()).subspan(address, std::min(length, kSize - address));
}

void RomModel::command(const CommandArray& command, Answers& answers) {
    switch (command[0]) {
        case 0x00:
            answerPoll(answers);
            break;
        case 0x01:
            startWrite(command);
            break;
        case 0x04:
            if (HasEraseKey(command)) {
                erase(ThreeBytes(command, 2), kSectorSize);
                ++sector_erases_;
            }
            answers.add({});
            break;
        case 0x05:
            if (HasEraseKey(command)) {
                erase(ThreeBytes(command, 2), kBlockSize);
                ++block_erases_;
            }
            answers.add({});
            break;
        case 0x06:
            startChecksum(command);
            break;
        default:
            break;
    }
}

void RomModel::erase(uint32_t address, uint32_t size) {
    // Flash erases the whole unit the address falls in.
    const uint32_t start = address / size * size;
    if (start >= kSize) return;
    std::fill_n(cells().begin() + start, std::min(size, kSize - start), kErasedByte);
}

void RomModel::startWrite(const CommandArray& command) {
    ++write_starts_;
    write_address_ = ThreeBytes(command, 2);
    write_left_ = ThreeBytes(command, 5);
    data_reports_left_ = int((write_left_ + 7) / 8);
}

void RomModel::data(const CommandArray& data, Answers& answers) {
    ++data_reports_taken_;
    for (uint8_t value : data) {
        if (write_left_ == 0) break;
        program(write_address_++, value);
        --write_left_;
    }
    if (--data_reports_left_ == 0) answers.add({});
}

void RomModel::program(uint32_t address, uint8_t value) {
    if (address >= kSize) return;
    if (failing_cell_ == address) value ^= 0x01;
    // Programming flash can only clear bits; only an erase sets them again.
    cells()[address] &= value;
}

void RomModel::startChecksum(const CommandArray& command) {
    ++checksum_requests_;
    const uint32_t address = ThreeBytes(command, 2);
    const uint32_t length = ThreeBytes(command, 5);
    const std::vector<uint8_t>& rom = cells();
    uint16_t sum = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t at = address + i;
        // Addresses past the chip read like erased flash.
        sum = uint16_t(sum + (at < kSize ? rom[at] : kErasedByte));
    }
    checksum_ = sum;
    checksum_pending_ = true;
    polls_since_request_ = 0;
    requested_at_ = clock_();
}

void RomModel::answerPoll(Answers& answers) {
    ++status_polls_;
    if (!checksum_pending_) {
        answers.add({0x00});
        return;
    }
    const bool ready = polls_before_ready_ && polls_since_request_ >= *polls_before_ready_ &&
                       clock_() - requested_at_ >= sum_time_;
    ++polls_since_request_;
    if (ready)
        answers.add({0x01, uint8_t(checksum_ & 0xFF), uint8_t(checksum_ >> 8)});
    else
        answers.add({0x00});
}

}  // namespace talvo::sim
