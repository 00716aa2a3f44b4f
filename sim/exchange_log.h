#pragma once
// Everything that went between the tool and the simulated device, in order:
// each output report's command bytes and each read's outcome and data bytes.
// Fuzz targets and fault sweeps check a sequence's traffic against it.

#include <array>
#include <cstdint>
#include <vector>

#include "sim/talvo_model.h"

namespace talvo::sim {

struct Exchange {
    bool is_read = false;
    CommandArray command{};                        // output reports
    ReadOutcome outcome = ReadOutcome::Completed;  // reads
    std::array<uint8_t, kInputDataLength> data{};  // reads: data bytes 1 to 64, 0 past the report
};

class ExchangeLog {
  public:
    // Takes over the device's on_report and on_read for as long as it lives.
    explicit ExchangeLog(TalvoModel& device);
    ~ExchangeLog();
    ExchangeLog(const ExchangeLog&) = delete;
    ExchangeLog& operator=(const ExchangeLog&) = delete;

    const std::vector<Exchange>& all() const { return all_; }
    int writes() const { return writes_; }
    int reads() const { return int(all_.size()) - writes_; }

  private:
    TalvoModel& device_;
    std::vector<Exchange> all_;
    int writes_ = 0;
};

}  // namespace talvo::sim
