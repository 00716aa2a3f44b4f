#include "device/hidapi_platform.h"

#include <hidapi.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "device/hidapi_node.h"
#include "device/report_descriptor.h"

namespace talvo {
namespace {

class HidapiConnection : public HidConnection {
  public:
    HidapiConnection(hid_device* device, std::string path, std::optional<HidAttributes> attributes)
        : device_(device), path_(std::move(path)), attributes_(attributes) {}
    ~HidapiConnection() override { hid_close(device_); }
    HidapiConnection(const HidapiConnection&) = delete;
    HidapiConnection& operator=(const HidapiConnection&) = delete;

    std::optional<HidAttributes> attributes() override { return attributes_; }

    std::optional<HidCaps> capabilities() override {
        const auto parsed = descriptor();
        if (!parsed) return std::nullopt;
        return LongestReportLengths(*parsed);
    }

    std::optional<std::vector<uint8_t>> reportDescriptor() override { return readDescriptor(); }

    bool writeReport(std::span<const uint8_t> report) override {
        if (report.empty()) return false;
        errno = 0;
        const int written = hid_write(device_, report.data(), report.size());
        if (written == int(report.size())) return true;
        // hidapi keeps the errno of its write(2) (it only copies strerror).
        // A report cut short is one the device did not take whole.
        last_error_ = written < 0 ? errno : 0;
        return false;
    }
    WriteFailure lastWriteFailure() const override { return WriteFailureOf(last_error_); }
    int lastWriteError() const override { return last_error_; }

    int discardInput() override {
        // Bounded: a device that streams reports must not hold the sender.
        constexpr int kMostDiscarded = 1024;
        std::vector<uint8_t> scratch(kScratchLength);
        int discarded = 0;
        while (discarded < kMostDiscarded &&
               hid_read_timeout(device_, scratch.data(), scratch.size(), 0) > 0)
            ++discarded;
        return discarded;
    }

    ReadOutcome readReport(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (buffer.empty()) return ReadOutcome::Failed;
        const int wait = int(std::clamp<std::chrono::milliseconds::rep>(
            timeout.count(), 0, std::numeric_limits<int>::max()));
        // hidapi hands over a numbered report with its ID first, but the
        // data of an unnumbered one alone: give it the ID 0 in front.
        const bool numbered = descriptor() && descriptor()->uses_report_ids;
        std::span<uint8_t> target = numbered ? buffer : buffer.subspan(1);
        uint8_t spare = 0;  // a one-byte buffer still consumes one report
        const int got = target.empty()
                            ? hid_read_timeout(device_, &spare, 1, wait)
                            : hid_read_timeout(device_, target.data(), target.size(), wait);
        if (got < 0) return ReadOutcome::Failed;
        if (got == 0) return ReadOutcome::TimedOut;
        if (!numbered) buffer[0] = 0;
        return ReadOutcome::Completed;
    }

  private:
    // Read once per handle: the descriptor of an open interface cannot change.
    const std::optional<ParsedDescriptor>& descriptor() {
        if (!descriptor_read_) {
            descriptor_read_ = true;
            if (const auto bytes = readDescriptor()) parsed_ = ParseReportDescriptor(*bytes);
        }
        return parsed_;
    }

    std::optional<std::vector<uint8_t>> readDescriptor() {
#if HID_API_VERSION >= HID_API_MAKE_VERSION(0, 14, 0)
        std::vector<uint8_t> bytes(HID_API_MAX_REPORT_DESCRIPTOR_SIZE);
        const int got = hid_get_report_descriptor(device_, bytes.data(), bytes.size());
        if (got <= 0) return std::nullopt;
        bytes.resize(size_t(got));
        return bytes;
#else
        return hidapi_node::ReadDescriptor(path_);
#endif
    }

    // Longer than any report a full-speed interrupt endpoint carries.
    static constexpr size_t kScratchLength = 4096;

    hid_device* device_;
    int last_error_ = 0;
    [[maybe_unused]] std::string path_;  // only read where hidapi gives no descriptor
    std::optional<HidAttributes> attributes_;
    bool descriptor_read_ = false;
    std::optional<ParsedDescriptor> parsed_;
};

HidAttributes AttributesFrom(const hid_device_info& info) {
    return {info.vendor_id, info.product_id, info.release_number};
}

}  // namespace

HidapiPlatform::HidapiPlatform() { hid_init(); }

HidapiPlatform::~HidapiPlatform() { hid_exit(); }

std::vector<std::string> HidapiPlatform::enumerate() {
    std::vector<std::string> paths;
    for (HidInterfaceInfo& info : describe()) paths.push_back(std::move(info.path));
    return paths;
}

std::vector<HidInterfaceInfo> HidapiPlatform::describe() {
    known_.clear();
    std::vector<HidInterfaceInfo> interfaces;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* info = list; info; info = info->next) {
        if (!info->path) continue;
        std::string path = info->path;
        if (known_.count(path)) continue;
        known_.emplace(path, AttributesFrom(*info));
        HidInterfaceInfo described{std::move(path), AttributesFrom(*info), {}, {}};
        hidapi_node::AddUsbAddress(described);
        interfaces.push_back(std::move(described));
    }
    hid_free_enumeration(list);
    return interfaces;
}

OpenRefusal HidapiPlatform::probeOpen(const std::string& path) {
    return hidapi_node::ProbeOpen(path);
}

LockAttempt HidapiPlatform::lockInterface(const std::string& path) { return LockExclusively(path); }

std::optional<LockHolder> HidapiPlatform::lockHolder(const std::string& path) {
    return FindLockHolder(path);
}

std::unique_ptr<HidMonitor> HidapiPlatform::monitor() { return hidapi_node::OpenMonitor(); }

std::optional<HidAttributes> HidapiPlatform::attributesOf(const std::string& path) {
    if (const auto it = known_.find(path); it != known_.end()) return it->second;
    // A path that was not enumerated here: ask hidapi afresh.
    std::optional<HidAttributes> found;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* info = list; info && !found; info = info->next)
        if (info->path && path == info->path) found = AttributesFrom(*info);
    hid_free_enumeration(list);
    return found;
}

std::unique_ptr<HidConnection> HidapiPlatform::open(const std::string& path) {
    hid_device* device = hid_open_path(path.c_str());
    if (!device) return nullptr;
    return std::make_unique<HidapiConnection>(device, path, attributesOf(path));
}

}  // namespace talvo
