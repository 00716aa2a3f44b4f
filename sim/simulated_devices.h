#pragma once
// The simulated TALVO-4s of the demo and of talvo4ctl --simulate: one or
// more, each with its own path, port path, lock and kept state, as each real
// one has its own node. Programs on different devices share nothing and
// never wait for each other; two programs on one device meet at its lock.

#include <memory>
#include <string>
#include <vector>

#include "sim/link_pace.h"
#include "sim/sim_platform.h"

namespace talvo::sim {

class SimulatedDevices {
  public:
    static constexpr int kMost = 64;
    // The path of the first, the name of the one simulated device there
    // used to be.
    static constexpr const char* kFirstPath = "sim:talvo-4";

    // `count` devices (1 to kMost) at `speed`; nullptr, with `why`, when
    // there is no private folder for their locks and states.
    static std::unique_ptr<SimulatedDevices> Create(int count, LinkSpeed speed, std::string& why);

    SimPlatform& platform() { return platform_; }
    // Device `index`, from 0.
    TalvoModel& device(size_t index) { return *devices_[index]; }
    size_t size() const { return devices_.size(); }

    // The path of device `number` (from 1); its port is SimulatedPort(number).
    static std::string PathOf(int number);

  private:
    SimulatedDevices() = default;

    std::vector<std::unique_ptr<TalvoModel>> devices_;
    SimPlatform platform_;
};

}  // namespace talvo::sim
