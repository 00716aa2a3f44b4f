#pragma once
// What the ROM tests share: test files, their sums, and the simulated TALVO-4
// on its virtual clock behind a link that logs every exchange in the order
// the device sees it.

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <span>
#include <vector>

#include "sim/sim_platform.h"
#include "tests/support/rig.h"

namespace talvo::testing {

inline QByteArray Pattern(qint64 length) {
    QByteArray bytes(length, Qt::Uninitialized);
    for (qint64 i = 0; i < length; ++i) bytes[i] = char((i * 131 + i / 4093) & 0xFF);
    return bytes;
}

// A file of `bytes` in `dir`; its path, empty when it cannot be written.
inline QString ImageFile(const QTemporaryDir& dir, const QByteArray& bytes) {
    const QString path = dir.filePath(QStringLiteral("image%1.bin").arg(bytes.size()));
    return WriteFile(path, bytes) ? path : QString();
}

inline uint16_t Sum(QByteArrayView bytes) {
    uint16_t sum = 0;
    for (char c : bytes) sum = uint16_t(sum + uint8_t(c));
    return sum;
}

inline std::vector<uint8_t> Bytes(std::span<const uint8_t> span) {
    return {span.begin(), span.end()};
}
inline std::vector<uint8_t> Bytes(const QByteArray& a) { return {a.begin(), a.end()}; }

// Writes and reads, in the order the device sees them: the command code in
// hex for a command, "d" for a data report, "R" for a read.
class LoggingPlatform : public HidPlatform {
  public:
    LoggingPlatform(sim::TalvoModel& talvo, QStringList& log)
        : inner_(talvo), talvo_(talvo), log_(log) {}
    std::vector<std::string> enumerate() override { return inner_.enumerate(); }
    std::unique_ptr<HidConnection> open(const std::string& path) override {
        auto inner = inner_.open(path);
        if (!inner) return nullptr;
        return std::make_unique<Connection>(std::move(inner), talvo_, log_);
    }

  private:
    class Connection : public HidConnection {
      public:
        Connection(std::unique_ptr<HidConnection> inner, sim::TalvoModel& talvo, QStringList& log)
            : inner_(std::move(inner)), talvo_(talvo), log_(log) {}
        std::optional<HidAttributes> attributes() override { return inner_->attributes(); }
        std::optional<HidCaps> capabilities() override { return inner_->capabilities(); }
        bool writeReport(std::span<const uint8_t> report) override {
            log_ << (talvo_.rom.inDataPhase() ? QStringLiteral("d")
                                              : QString::asprintf("%02X", report[1]));
            return inner_->writeReport(report);
        }
        int discardInput() override { return inner_->discardInput(); }
        ReadOutcome readReport(std::span<uint8_t> buffer,
                               std::chrono::milliseconds timeout) override {
            log_ << QStringLiteral("R");
            return inner_->readReport(buffer, timeout);
        }

      private:
        std::unique_ptr<HidConnection> inner_;
        sim::TalvoModel& talvo_;
        QStringList& log_;
    };
    sim::SimPlatform inner_;
    sim::TalvoModel& talvo_;
    QStringList& log_;
};

// The simulated TALVO-4 on virtual time, so that a read it leaves unanswered
// costs no real second, found by a link over the logging platform.
struct RomRig {
    sim::TalvoModel talvo;
    QStringList log;
    LoggingPlatform platform{talvo, log};
    DeviceLink link{platform};
    RomRig() {
        talvo.clock.makeVirtual();
        link.FindDevice();
    }
};

}  // namespace talvo::testing
