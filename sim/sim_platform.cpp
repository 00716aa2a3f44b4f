#include "sim/sim_platform.h"

#include <thread>

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

    bool writeReport(std::span<const uint8_t> report) override {
        return interface_.device ? interface_.device->write(report) : true;
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

}  // namespace

SimPlatform::SimPlatform(TalvoModel& talvo) { addInterface(TalvoInterface("sim:talvo-4", talvo)); }

SimInterface SimPlatform::TalvoInterface(const std::string& path, TalvoModel& talvo) {
    const auto descriptor = TalvoReportDescriptor();
    return SimInterface{path,   0x17A7,
                        0x0002, std::vector<uint8_t>(descriptor.begin(), descriptor.end()),
                        false,  &talvo};
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
        list.push_back({interface.path, {interface.vendor_id, interface.product_id, 0x0100}});
    return list;
}

OpenRefusal SimPlatform::probeOpen(const std::string& path) {
    ++opens_[path];
    for (const auto& interface : interfaces_)
        if (interface.path == path)
            return interface.refuses_open ? interface.refusal : OpenRefusal::None;
    return OpenRefusal::Gone;
}

int SimPlatform::opens(const std::string& path) const {
    const auto it = opens_.find(path);
    return it == opens_.end() ? 0 : it->second;
}

}  // namespace talvo::sim
