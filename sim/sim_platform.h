#pragma once
// HID interfaces that exist only in memory: the simulated TALVO-4 and any
// other devices a test puts beside it.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_platform.h"
#include "sim/talvo_model.h"

namespace talvo::sim {

struct SimInterface {
    std::string path;
    uint16_t vendor_id = 0;
    uint16_t product_id = 0;
    std::vector<uint8_t> report_descriptor;
    bool refuses_open = false;     // held by the system, like a keyboard
    TalvoModel* device = nullptr;  // nullptr: a device that takes reports and never answers
    OpenRefusal refusal = OpenRefusal::Other;  // why it refuses, when it does
    std::string port{};                        // where it is "plugged in": SimulatedPort(n)
};

// The port path of the n-th simulated TALVO-4 (1, 2, ...): "sim-1", "sim-2" ...,
// so that scripts and tests read the same fields as on USB.
inline std::string SimulatedPort(int number) { return "sim-" + std::to_string(number); }

class SimPlatform : public HidPlatform {
  public:
    // No interfaces at all.
    SimPlatform() = default;
    // Just the simulated TALVO-4.
    explicit SimPlatform(TalvoModel& talvo);

    void addInterface(SimInterface interface) { interfaces_.push_back(std::move(interface)); }
    // A TALVO-4 interface at the given path, served by `talvo`, plugged into
    // the port of simulated TALVO-4 number `number`.
    static SimInterface TalvoInterface(const std::string& path, TalvoModel& talvo, int number = 1);
    // A boot keyboard interface of the TALVO-4's own vendor and product, as
    // a composite device has beside its command interface: it opens, takes
    // reports and answers none (input 9, output 2 bytes with the report ID).
    static SimInterface KeyboardInterface(const std::string& path);

    std::vector<std::string> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path) override;
    std::vector<HidInterfaceInfo> describe() override;
    OpenRefusal probeOpen(const std::string& path) override;
    // Locks nothing unless a lock file is set, so that tests may hold any
    // number of simulated devices at once.
    LockAttempt lockInterface(const std::string& path) override;
    std::optional<LockHolder> lockHolder(const std::string& path) override;

    // Lets the simulated TALVO-4 be held by one program at a time, as the
    // real one is: the demo and talvo4ctl --simulate lock this file.
    void useLockFile(std::string path) { lock_file_ = std::move(path); }
    // $XDG_RUNTIME_DIR/talvo4-simulated.lock, or in the temporary folder
    // where there is no runtime folder.
    static std::string DefaultLockFile();

    // How often each path was opened, and how many handles are open now.
    int opens(const std::string& path) const;
    int openHandles() const { return *open_handles_; }

  private:
    std::vector<SimInterface> interfaces_;
    std::map<std::string, int> opens_;
    std::shared_ptr<int> open_handles_ = std::make_shared<int>(0);
    std::string lock_file_;
};

}  // namespace talvo::sim
