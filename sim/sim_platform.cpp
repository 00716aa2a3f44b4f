#include "sim/sim_platform.h"

#include <cstdio>
#include <cstdlib>

#include <thread>

#include "device/device_link.h"
#include "device/report_descriptor.h"

namespace talvo::sim {
namespace {

class SimConnection : public HidConnection {
  public:
    SimConnection(const SimInterface& interface, std::shared_ptr<int> open_handles)
        : interface_(interface), open_handles_(std::move(open_handles)) {
        ++*open_handles_;
    }
    ~SimConnection() override { --*open_handles_; }

    std::optional<HidAttributes> attributes() override {
        return HidAttributes{interface_.vendor_id, interface_.product_id, 0x0100};
    }

    std::optional<HidCaps> capabilities() override {
        const auto parsed = ParseReportDescriptor(interface_.report_descriptor);
        if (!parsed) return std::nullopt;
        return LongestReportLengths(*parsed);
    }

    std::optional<std::vector<uint8_t>> reportDescriptor() override {
        return interface_.report_descriptor;
    }

    bool writeReport(std::span<const uint8_t> report) override {
        return interface_.device ? interface_.device->write(report) : true;
    }
    WriteFailure lastWriteFailure() const override { return WriteFailureOf(lastWriteError()); }
    int lastWriteError() const override {
        return interface_.device ? interface_.device->lastWriteError() : 0;
    }
    int discardInput() override {
        return interface_.device ? interface_.device->discardArrived() : 0;
    }

    ReadOutcome readReport(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
        if (interface_.device) return interface_.device->read(buffer, timeout);
        std::this_thread::sleep_for(timeout);
        return ReadOutcome::TimedOut;
    }

  private:
    SimInterface interface_;
    std::shared_ptr<int> open_handles_;
};

// A boot keyboard: eight bytes in (modifiers, reserved, six keys), one out
// (the LEDs).
constexpr uint8_t kKeyboardDescriptor[] = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,  // Generic Desktop, Keyboard, Application
    0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
    0x95, 0x08, 0x81, 0x02,                                                  // modifier bits
    0x95, 0x01, 0x75, 0x08, 0x81, 0x01,                                      // reserved byte
    0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02,  // LED bits
    0x95, 0x01, 0x75, 0x03, 0x91, 0x01,                                      // LED padding
    0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00,
    0x29, 0x65, 0x81, 0x00,  // key codes
    0xC0,
};

}  // namespace

SimInterface SimPlatform::KeyboardInterface(const std::string& path) {
    return SimInterface{
        path,
        kTalvoVendorId,
        kTalvoProductId,
        std::vector<uint8_t>(std::begin(kKeyboardDescriptor), std::end(kKeyboardDescriptor)),
        false,
        nullptr};
}

SimPlatform::SimPlatform(TalvoModel& talvo) { addInterface(TalvoInterface("sim:talvo-4", talvo)); }

SimInterface SimPlatform::TalvoInterface(const std::string& path, TalvoModel& talvo, int number) {
    const auto descriptor = TalvoReportDescriptor();
    SimInterface talvo_interface{path,   0x17A7,
                                 0x0002, std::vector<uint8_t>(descriptor.begin(), descriptor.end()),
                                 false,  &talvo};
    talvo_interface.port = SimulatedPort(number);
    return talvo_interface;
}

std::vector<std::string> SimPlatform::enumerate() {
    std::vector<std::string> paths;
    for (const auto& interface : interfaces_) paths.push_back(interface.path);
    return paths;
}

std::unique_ptr<HidConnection> SimPlatform::open(const std::string& path) {
    ++opens_[path];
    for (const auto& interface : interfaces_) {
        if (interface.path != path) continue;
        if (interface.refuses_open) return nullptr;
        return std::make_unique<SimConnection>(interface, open_handles_);
    }
    return nullptr;
}

std::vector<HidInterfaceInfo> SimPlatform::describe() {
    std::vector<HidInterfaceInfo> list;
    for (const auto& interface : interfaces_)
        list.push_back({interface.path,
                        {interface.vendor_id, interface.product_id, 0x0100},
                        interface.port,
                        {}});
    return list;
}

OpenRefusal SimPlatform::probeOpen(const std::string& path) {
    ++opens_[path];
    for (const auto& interface : interfaces_)
        if (interface.path == path) {
            if (interface.refuses_open) return interface.refusal;
            if (interface.device && lockHolder(path)) return OpenRefusal::Busy;
            return OpenRefusal::None;
        }
    return OpenRefusal::Gone;
}

int SimPlatform::opens(const std::string& path) const {
    const auto it = opens_.find(path);
    return it == opens_.end() ? 0 : it->second;
}

LockAttempt SimPlatform::lockInterface(const std::string& path) {
    if (lock_file_.empty()) return HidPlatform::lockInterface(path);
    // The file must exist to be locked; creating it is all that is written.
    if (FILE* file = std::fopen(lock_file_.c_str(), "a")) std::fclose(file);
    return LockExclusively(lock_file_);
}

std::optional<LockHolder> SimPlatform::lockHolder(const std::string& path) {
    if (lock_file_.empty()) return HidPlatform::lockHolder(path);
    LockAttempt attempt = LockExclusively(lock_file_);
    if (attempt.lock) return std::nullopt;
    return attempt.holder;
}

std::string SimPlatform::DefaultLockFile() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* temporary = std::getenv("TMPDIR");
    const std::string folder = runtime && *runtime       ? runtime
                               : temporary && *temporary ? temporary
                                                         : "/tmp";
    return folder + "/talvo4-simulated.lock";
}

}  // namespace talvo::sim
