#include "cli/trace.h"

namespace talvo::cli {
namespace {

class TracingConnection : public PassingConnection {
  public:
    TracingConnection(std::unique_ptr<HidConnection> inner, Console& console)
        : PassingConnection(std::move(inner)), console_(console) {}

    bool writeReport(std::span<const uint8_t> report) override {
        const bool written = inner().writeReport(report);
        console_.rawError(TraceLine('>', report) + (written ? "\n" : "  (write failed)\n"));
        return written;
    }
    int discardInput() override {
        const int discarded = inner().discardInput();
        if (discarded > 0)
            console_.rawError(QByteArray("  (") + QByteArray::number(discarded) +
                              " stale input reports dropped)\n");
        return discarded;
    }

    ReadOutcome readReport(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
        const ReadOutcome outcome = inner().readReport(buffer, timeout);
        switch (outcome) {
            case ReadOutcome::Completed:
                console_.rawError(TraceLine('<', buffer) + '\n');
                break;
            case ReadOutcome::TimedOut:
                console_.rawError("< (no answer within the wait)\n");
                break;
            case ReadOutcome::Failed:
                console_.rawError("< (read failed)\n");
                break;
        }
        return outcome;
    }

  private:
    Console& console_;
};

}  // namespace

QByteArray TraceLine(char direction, std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QByteArray line(1, direction);
    line.reserve(qsizetype(1 + 3 * bytes.size()));
    for (uint8_t byte : bytes) {
        line += ' ';
        line += kDigits[byte >> 4];
        line += kDigits[byte & 0x0F];
    }
    return line;
}

std::unique_ptr<HidConnection> TracingPlatform::open(const std::string& path) {
    auto connection = inner().open(path);
    if (!connection) return nullptr;
    return std::make_unique<TracingConnection>(std::move(connection), console_);
}

}  // namespace talvo::cli
