#include "sim/exchange_log.h"

#include <algorithm>

namespace talvo::sim {

ExchangeLog::ExchangeLog(TalvoModel& device) : device_(device) {
    device_.on_report = [this](const RecordedReport& report) {
        Exchange exchange;
        exchange.command = report.command();
        all_.push_back(exchange);
        ++writes_;
    };
    device_.on_read = [this](ReadOutcome outcome, std::span<const uint8_t> buffer) {
        Exchange exchange;
        exchange.is_read = true;
        exchange.outcome = outcome;
        if (buffer.size() > 1)
            std::copy_n(buffer.begin() + 1, std::min(buffer.size() - 1, exchange.data.size()),
                        exchange.data.begin());
        all_.push_back(exchange);
    };
}

ExchangeLog::~ExchangeLog() {
    device_.on_report = {};
    device_.on_read = {};
}

}  // namespace talvo::sim
