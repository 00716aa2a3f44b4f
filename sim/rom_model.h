#pragma once
// The device's ROM as the ROM write sees it: a flash that is erased in 4 KiB
// sectors and 32 KiB blocks, takes eight bytes per data report after a write
// start, and sums a range of itself on request.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "device/device_link.h"
#include "sim/answers.h"

namespace talvo::sim {

class RomModel {
  public:
    // Room for a whole 1 MiB image at 0xE8000, rounded up to 2 MiB.
    static constexpr uint32_t kSize = 0x200000;
    static constexpr uint32_t kSectorSize = 4096;
    static constexpr uint32_t kBlockSize = 32768;

    RomModel();

    // True between a write start and its last data report: every report is data.
    bool inDataPhase() const { return data_reports_left_ > 0; }
    void command(const CommandArray& command, Answers& answers);
    void data(const CommandArray& data, Answers& answers);

    // The whole ROM; its fresh contents are a fixed pseudo-random pattern, so
    // a range that was neither erased nor written stands out.
    const std::vector<uint8_t>& contents() const { return cells(); }
    // Puts back contents() as kept from an earlier run; false, changing
    // nothing, when `cells` is not a whole ROM.
    bool restore(std::span<const uint8_t> cells);
    // The contents of a fresh ROM again; faults and counters stay.
    void makeFresh() { rom_.clear(); }
    std::span<const uint8_t> range(uint32_t address, uint32_t length) const;
    // The byte that a fresh ROM holds at `address`.
    static uint8_t FreshByte(uint32_t address);

    // Status polls answered "not ready" after each checksum request before the
    // sum is reported (2 unless set); nullopt: never ready.
    void setPollsBeforeReady(std::optional<int> polls) { polls_before_ready_ = polls; }
    // A part that takes `time` to sum: polls answer "not ready" until that
    // long after the checksum request, on `clock` (a test may drive its own).
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void setSumTime(std::chrono::milliseconds time, Clock clock = std::chrono::steady_clock::now) {
        sum_time_ = time;
        clock_ = std::move(clock);
    }
    // A cell that does not take its write: the byte written at `address`
    // lands with its lowest bit flipped, so the sums can no longer agree.
    void failWriteAt(uint32_t address) { failing_cell_ = address; }

    // Counters for tests.
    int blockErases() const { return block_erases_; }
    int sectorErases() const { return sector_erases_; }
    int writeStarts() const { return write_starts_; }
    int dataReportsTaken() const { return data_reports_taken_; }
    int checksumRequests() const { return checksum_requests_; }
    int statusPolls() const { return status_polls_; }

  private:
    void erase(uint32_t address, uint32_t size);
    void startWrite(const CommandArray& command);
    void startChecksum(const CommandArray& command);
    void answerPoll(Answers& answers);
    void program(uint32_t address, uint8_t value);

    // The cells, filled on first use: a program with many simulated devices
    // touches only the ROM of the one it opened.
    std::vector<uint8_t>& cells() const;

    mutable std::vector<uint8_t> rom_;  // empty: still fresh
    uint32_t write_address_ = 0;
    uint32_t write_left_ = 0;  // bytes of the announced length still to come
    int data_reports_left_ = 0;
    std::optional<int> polls_before_ready_ = 2;
    int polls_since_request_ = 0;
    std::chrono::milliseconds sum_time_{0};
    Clock clock_ = std::chrono::steady_clock::now;
    std::chrono::steady_clock::time_point requested_at_{};
    bool checksum_pending_ = false;
    uint16_t checksum_ = 0;
    std::optional<uint32_t> failing_cell_;

    int block_erases_ = 0;
    int sector_erases_ = 0;
    int write_starts_ = 0;
    int data_reports_taken_ = 0;
    int checksum_requests_ = 0;
    int status_polls_ = 0;
};

}  // namespace talvo::sim
