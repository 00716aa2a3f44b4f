#pragma once
// HID interfaces that exist only in memory: the simulated TALVO-4 and any
// other devices a test puts beside it.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
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
    // Held while a program has it open; empty: the platform's lock file.
    std::string lock_file{};
    // Where its ROM, timing block and image slots live between programs,
    // read and written only under its lock; empty: nowhere.
    std::string state_file{};
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
    std::vector<SimInterface>& interfaces() { return interfaces_; }
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

    // Lets every simulated TALVO-4 without a lock file of its own be held by
    // one program at a time, as the real one is.
    void useLockFile(std::string path) { lock_file_ = std::move(path); }
    // The folder for the simulated devices' locks and kept states:
    // talvo4-simulated in $XDG_RUNTIME_DIR, else talvo4-simulated-UID in
    // $TMPDIR or /tmp, made for this user alone. Shared temporary folders
    // are anyone's to plant links in, so a folder of that name that is not
    // this user's own, or that others may write to, is refused (nullopt,
    // with `why`).
    static std::optional<std::string> PrivateFolder(std::string& why);

    // Each device opened from now on starts, the first time, as a fresh one:
    // what it kept is dropped.
    void startAfresh() { start_afresh_ = true; }
    // Told, in one line, of a kept state that could not be read (the device
    // starts afresh) or written, and of a lock that could not be taken.
    std::function<void(const std::string& line)> on_notice;

    // How often each path was opened, and how many handles are open now.
    int opens(const std::string& path) const;
    int openHandles() const { return *open_handles_; }

  private:
    const SimInterface* find(const std::string& path) const;
    std::string lockFileOf(const std::string& path) const;
    void notice(const std::string& line) const {
        if (on_notice) on_notice(line);
    }

    std::vector<SimInterface> interfaces_;
    std::map<std::string, int> opens_;
    std::shared_ptr<int> open_handles_ = std::make_shared<int>(0);
    std::string lock_file_;
    bool start_afresh_ = false;
    std::set<std::string> started_afresh_;
};

}  // namespace talvo::sim
