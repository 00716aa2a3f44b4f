#include "device/device_link.h"

namespace talvo {

DeviceLink::DeviceLink(HidPlatform& platform) : platform_(platform) {}

DeviceLink::~DeviceLink() { CloseDevice(); }

bool DeviceLink::FindDevice() {
    DeviceFound = false;
    CloseDevice();
    in_use_by_.reset();
    lock_error_ = 0;
    other_interfaces_passed_ = 0;
    // What the last device's exchanges did says nothing of the next one.
    health_ = {};
    std::optional<HidCaps> found_caps;
    // The first matching interface in enumeration order is used; the ones
    // after it are never opened.
    for (const std::string& path : platform_.enumerate()) {
        DevicePath = path;
        auto candidate = platform_.open(path);
        if (!candidate) continue;
        const auto attributes = candidate->attributes();
        if (!attributes || attributes->VendorID != kTalvoVendorId ||
            attributes->ProductID != kTalvoProductId)
            continue;  // rejected candidates are closed as they go out of scope
        // Linux opens every interface of a composite device, the keyboard
        // the system holds on Windows too: one whose reports no command fits
        // is passed over like one that cannot be opened.
        const auto caps = candidate->capabilities();
        if (caps && !CommandsFit(*caps)) {
            ++other_interfaces_passed_;
            continue;
        }
        // Another program has this TALVO-4: its reports and ours must
        // never interleave, so it counts as one that cannot be opened.
        LockAttempt attempt = platform_.lockInterface(path);
        if (!attempt.lock) {
            if (attempt.error != 0) {
                lock_error_ = attempt.error;
            } else {
                in_use_by_ = attempt.holder;
            }
            continue;
        }
        lock_ = std::move(attempt.lock);
        in_use_by_.reset();
        DeviceHandle = std::move(candidate);
        found_caps = caps;
        DeviceFound = true;
        break;
    }
    if (!DeviceFound) return false;

    if (found_caps) DeviceCapabilities = *found_caps;
    ReadHandle = platform_.open(DevicePath);
    if (!read_event_exists_) {
        read_event_exists_ = true;
        ++read_events_created_;
    }
    return true;
}

void DeviceLink::SendCommand(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5, uint8_t b6,
                             uint8_t b7, uint8_t b8) {
    if (exclusive_depth_ > 0 && in_exclusive_call_ == 0) {
        ++held_off_;
        return;
    }
    send({b1, b2, b3, b4, b5, b6, b7, b8});
}

void DeviceLink::SendCommand() {
    const CommandArray b = CommandBytes;
    SendCommand(b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
}

void DeviceLink::exchange() {
    SendCommand();
    ReadResponse();
}

void DeviceLink::send(const CommandArray& bytes) {
    if (!DeviceFound) DeviceFound = FindDevice();
    if (!DeviceFound) return;
    if (!DeviceHandle) {
        // Closed at shutdown, or never opened: the report goes nowhere.
        ++health_.failed_writes_in_a_row;
        return;
    }
    // A report shorter than the report ID and eight command bytes cannot
    // carry a command; writing a cut command would be worse than none.
    const size_t length = DeviceCapabilities.OutputReportByteLength;
    if (length < 1 + bytes.size()) return;
    std::vector<uint8_t> report(length, 0);
    std::copy(bytes.begin(), bytes.end(), report.begin() + 1);
    // An answer that came after its wait ran out is still queued; read next,
    // it would pass for this command's answer and shift every later one.
    if (ReadHandle) ReadHandle->discardInput();
    write(report);
}

void DeviceLink::write(std::span<const uint8_t> report) {
    // A stalled or timed-out report leaves the device where it was; sent
    // again, it is usually taken. An unplugged node never takes it.
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (DeviceHandle->writeReport(report)) {
            health_.failed_writes_in_a_row = 0;
            health_.write_errors_in_a_row = 0;
            return;
        }
        health_.last_write_error = DeviceHandle->lastWriteError();
        if (DeviceHandle->lastWriteFailure() == WriteFailure::Gone) {
            ++health_.failed_writes_in_a_row;
            return;
        }
    }
    ++health_.write_errors_in_a_row;
}

void DeviceLink::ReadResponse() {
    if (exclusive_depth_ > 0 && in_exclusive_call_ == 0) {
        ++held_off_;
        ResponseBuffer.reset(DeviceCapabilities.InputReportByteLength);
        return;
    }
    read();
}

void DeviceLink::read() {
    ResponseBuffer.reset(DeviceCapabilities.InputReportByteLength);
    if (!ReadHandle || ResponseBuffer.size() == 0) {
        record(ReadOutcome::Failed);
        return;
    }
    // The connection keeps a late report queued for the next read, so nothing
    // can ever land in a buffer that has since been replaced.
    record(ReadHandle->readReport(ResponseBuffer.writable(), kResponseWait));
}

void DeviceLink::record(ReadOutcome outcome) {
    health_.last_read = outcome;
    health_.failed_reads_in_a_row =
        outcome == ReadOutcome::Failed ? health_.failed_reads_in_a_row + 1 : 0;
    health_.silent_reads_in_a_row =
        outcome == ReadOutcome::TimedOut ? health_.silent_reads_in_a_row + 1 : 0;
}

void DeviceLink::CloseDevice() {
    DeviceHandle.reset();
    ReadHandle.reset();
    lock_.reset();
}

DeviceLink::Exclusive::Exclusive(DeviceLink& link) : link_(link) { ++link_.exclusive_depth_; }

DeviceLink::Exclusive::~Exclusive() { --link_.exclusive_depth_; }

void DeviceLink::Exclusive::SendCommand(uint8_t b1, uint8_t b2, uint8_t b3, uint8_t b4, uint8_t b5,
                                        uint8_t b6, uint8_t b7, uint8_t b8) {
    ++link_.in_exclusive_call_;
    link_.send({b1, b2, b3, b4, b5, b6, b7, b8});
    --link_.in_exclusive_call_;
}

void DeviceLink::Exclusive::SendCommand() {
    const CommandArray b = link_.CommandBytes;
    SendCommand(b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
}

void DeviceLink::Exclusive::ReadResponse() {
    ++link_.in_exclusive_call_;
    link_.read();
    --link_.in_exclusive_call_;
}

void DeviceLink::Exclusive::exchange() {
    SendCommand();
    ReadResponse();
}

}  // namespace talvo
