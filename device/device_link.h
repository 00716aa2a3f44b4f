#pragma once
// The device link: finds the TALVO-4, opens it twice (one handle for command
// reports, one for input reports) and exchanges reports with it. Failures are
// silent; callers only see DeviceFound and the bytes of ResponseBuffer.

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace talvo {

inline constexpr uint16_t kTalvoVendorId = 0x17A7;
inline constexpr uint16_t kTalvoProductId = 0x0002;
inline constexpr std::chrono::milliseconds kResponseWait{1000};

using CommandArray = std::array<uint8_t, 8>;

// The last input report: byte 0 the report ID, data from byte 1. Every read
// is bounds-safe: a byte past the end of the report reads as 0.
class InputReport {
  public:
    void reset(size_t length) { bytes_.assign(length, 0); }
    uint8_t operator[](size_t index) const { return index < bytes_.size() ? bytes_[index] : 0; }
    size_t size() const { return bytes_.size(); }
    std::span<uint8_t> writable() { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

class DeviceLink {
  public:
    explicit DeviceLink(HidPlatform& platform);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    bool FindDevice();
    void SendCommand(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6,
                     uint8_t b7, uint8_t b8);
    // Sends the eight elements of CommandBytes in index order.
    void SendCommand();
    void ReadResponse();
    // Sends CommandBytes and reads the one answer the device gives to it:
    // how every command of the device is answered.
    void exchange();
    // Closes both handles at shutdown. DeviceFound stays set, so nothing is
    // reopened and later sends go nowhere.
    void CloseDevice();

    // Holds every other sender off the device while it lives: their reports
    // are dropped and their reads return zeros at once. Only the holder's
    // SendCommand and ReadResponse reach the device.
    class Exclusive {
      public:
        explicit Exclusive(DeviceLink& link);
        ~Exclusive();
        Exclusive(const Exclusive&) = delete;
        Exclusive& operator=(const Exclusive&) = delete;
        void SendCommand(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6,
                         uint8_t b7, uint8_t b8);
        void SendCommand();
        void ReadResponse();
        void exchange();

      private:
        DeviceLink& link_;
    };
    bool heldExclusively() const { return exclusive_depth_ > 0; }
    // How many reports and reads were held off while the link was held.
    int heldOffCount() const { return held_off_; }

    CommandArray CommandBytes{};
    InputReport ResponseBuffer;
    bool DeviceFound = false;
    HidCaps DeviceCapabilities{};
    std::string DevicePath;
    // The program that held the last TALVO-4 this link passed over because
    // it was in use; nullopt when none was.
    const std::optional<LockHolder>& inUseBy() const { return in_use_by_; }
    // How often a read-event equivalent was created (once per run at most).
    int readEventsCreated() const { return read_events_created_; }

    // How the last exchanges went. The link itself stays silent about it, as
    // do the windows; a front end that must tell its user that the device is
    // gone (the terminal tool) asks here.
    struct Health {
        int failed_writes_in_a_row = 0;  // a write to a node that is gone, or with no handle
        int write_errors_in_a_row = 0;   // a report the device did not take, even when sent again
        int last_write_error = 0;        // the system's error number of the last failed write
        int failed_reads_in_a_row = 0;   // a read that failed at once (device gone)
        int silent_reads_in_a_row = 0;   // a read that waited out its full wait
        ReadOutcome last_read = ReadOutcome::Completed;
    };
    const Health& health() const { return health_; }
    // Three reads in a row that waited out their second, or any write or
    // read that failed because the node is gone: the device vanished or fell
    // silent.
    static constexpr int kSilentReadsForLost = 3;
    bool deviceLost() const {
        return health_.failed_writes_in_a_row > 0 || health_.failed_reads_in_a_row > 0 ||
               health_.silent_reads_in_a_row >= kSilentReadsForLost;
    }
    // A report the device, still present, did not take: a stall, a bus error
    // or a write the kernel gave up on, still failing after kWriteAttempts.
    static constexpr int kWriteAttempts = 3;
    bool writeFailed() const { return health_.write_errors_in_a_row > 0; }
    // The system's error number of the lock on the last TALVO-4 this link
    // passed over because it could not be locked for another reason than
    // another program holding it; 0 when none was.
    int lockError() const { return lock_error_; }
    // How many TALVO-4 interfaces the last FindDevice passed over because no
    // command fits their reports (a composite device's keyboard, a
    // descriptor with numbered reports).
    int otherInterfacesPassed() const { return other_interfaces_passed_; }

  private:
    void send(const CommandArray& bytes);
    void write(std::span<const uint8_t> report);
    void read();
    void record(ReadOutcome outcome);

    HidPlatform& platform_;
    // Declared before the handles, so that it is released after them.
    std::unique_ptr<InterfaceLock> lock_;
    std::optional<LockHolder> in_use_by_;
    int lock_error_ = 0;
    int other_interfaces_passed_ = 0;
    std::unique_ptr<HidConnection> DeviceHandle;
    std::unique_ptr<HidConnection> ReadHandle;
    bool read_event_exists_ = false;
    int read_events_created_ = 0;
    int exclusive_depth_ = 0;
    int in_exclusive_call_ = 0;
    int held_off_ = 0;
    Health health_;
};

}  // namespace talvo
