#include "sim/sim_platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "device/device_link.h"
#include "device/report_descriptor.h"
#include "sim/device_state.h"

namespace talvo::sim {
namespace {

// The lock file exists to be locked; it is made without following links,
// so that a link planted in its place cannot have another file created.
// (In the private folder no one else can plant one between this and the
// lock's own open.)
bool MakeLockFile(const std::string& path) {
    const int fd =
        ::open(path.c_str(), O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// The lock of one simulated device, and what the device keeps: read when
// the lock is taken, written back, where it changed, before it is let go.
class SimLock : public InterfaceLock {
  public:
    explicit SimLock(std::unique_ptr<InterfaceLock> lock) : lock_(std::move(lock)) {}
    ~SimLock() override {
        if (talvo_) {
            const std::string bytes = DeviceStateBytes(*talvo_);
            std::string why;
            if (bytes != kept_ && !SaveDeviceState(state_file_, bytes, why) && notice_)
                notice_("the simulated TALVO-4 at " + path_ + " could not keep its state (" + why +
                        ")");
        }
        // lock_ goes after this: the state is written while it is held.
    }
    SimLock(const SimLock&) = delete;
    SimLock& operator=(const SimLock&) = delete;

    // Reads the state of `interface`'s device, or starts it afresh.
    void keep(const SimInterface& interface, bool afresh,
              const std::function<void(const std::string&)>& notice) {
        talvo_ = interface.device;
        state_file_ = interface.state_file;
        path_ = interface.path;
        notice_ = notice;
        MakeFresh(*talvo_);
        std::string why;
        const StateLoad load =
            afresh ? StateLoad::Absent : LoadDeviceState(state_file_, *talvo_, why);
        kept_ = DeviceStateBytes(*talvo_);
        if (afresh) ::unlink(state_file_.c_str());
        if (load != StateLoad::Unreadable) return;
        kept_.clear();  // the fresh state takes the unreadable one's place
        if (notice_)
            notice_("the kept state of the simulated TALVO-4 at " + path_ + " could not be read (" +
                    state_file_ + ": " + why + "); it starts as a fresh device");
    }

  private:
    std::unique_ptr<InterfaceLock> lock_;
    TalvoModel* talvo_ = nullptr;
    std::string state_file_;
    std::string path_;
    std::string kept_;  // the state as read; written back only where it changed
    std::function<void(const std::string&)> notice_;
};

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

const SimInterface* SimPlatform::find(const std::string& path) const {
    for (const auto& interface : interfaces_)
        if (interface.path == path) return &interface;
    return nullptr;
}

std::string SimPlatform::lockFileOf(const std::string& path) const {
    const SimInterface* interface = find(path);
    return interface && !interface->lock_file.empty() ? interface->lock_file : lock_file_;
}

LockAttempt SimPlatform::lockInterface(const std::string& path) {
    const std::string file = lockFileOf(path);
    if (file.empty()) return HidPlatform::lockInterface(path);
    if (!MakeLockFile(file)) return {nullptr, {}, errno};
    LockAttempt attempt = LockExclusively(file);
    if (!attempt.lock) return attempt;
    auto lock = std::make_unique<SimLock>(std::move(attempt.lock));
    const SimInterface* interface = find(path);
    if (interface && interface->device && !interface->state_file.empty()) {
        const bool afresh = start_afresh_ && started_afresh_.insert(path).second;
        lock->keep(*interface, afresh, on_notice);
    }
    return {std::move(lock), {}};
}

std::optional<LockHolder> SimPlatform::lockHolder(const std::string& path) {
    const std::string file = lockFileOf(path);
    if (file.empty()) return HidPlatform::lockHolder(path);
    if (::access(file.c_str(), F_OK) != 0) return std::nullopt;  // never locked yet
    std::optional<bool> held = LockIsHeld(file);
    if (!held) {
        // Without the system's table only taking the lock tells, and that
        // for a moment makes the device busy to others.
        const LockAttempt attempt = LockExclusively(file);
        if (attempt.lock || attempt.error != 0) return std::nullopt;
        return attempt.holder;
    }
    if (!*held) return std::nullopt;
    return FindLockHolder(file).value_or(LockHolder{});
}

std::optional<std::string> SimPlatform::PrivateFolder(std::string& why) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* temporary = std::getenv("TMPDIR");
    const std::string folder = runtime && *runtime
                                   ? std::string(runtime) + "/talvo4-simulated"
                                   : std::string(temporary && *temporary ? temporary : "/tmp") +
                                         "/talvo4-simulated-" + std::to_string(::getuid());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make " + folder + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat status {};
    if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::getuid() || (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why = folder + " is not a folder of this user's alone";
        return std::nullopt;
    }
    return folder;
}

}  // namespace talvo::sim
