#include "sim/simulated_devices.h"

namespace talvo::sim {

std::unique_ptr<SimulatedDevices> SimulatedDevices::Create(int count, LinkSpeed speed,
                                                           std::string& why) {
    const auto folder = SimPlatform::PrivateFolder(why);
    if (!folder) return nullptr;
    std::unique_ptr<SimulatedDevices> devices(new SimulatedDevices);
    for (int number = 1; number <= count; ++number) {
        TalvoModel& talvo = *devices->devices_.emplace_back(std::make_unique<TalvoModel>());
        talvo.setLinkSpeed(speed);
        SimInterface interface = SimPlatform::TalvoInterface(PathOf(number), talvo, number);
        const std::string files = *folder + "/" + interface.port;
        interface.lock_file = files + ".lock";
        interface.state_file = files + ".state";
        devices->platform_.addInterface(std::move(interface));
    }
    return devices;
}

std::string SimulatedDevices::PathOf(int number) {
    return number == 1 ? kFirstPath : kFirstPath + std::string("-") + std::to_string(number);
}

}  // namespace talvo::sim
