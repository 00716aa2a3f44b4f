// The lock on Linux: flock(2) on the node, and the holder found in
// /proc/locks or among the open files of the processes this user may see.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "device/interface_lock.h"

namespace talvo {
namespace {

// A refused lock is tried again for about 30 ms before it counts as held:
// a program that only tests the lock (an older talvo4ctl, or one on a system
// without /proc/locks) lets go of it at once.
constexpr int kLockRetries = 3;
constexpr std::chrono::milliseconds kLockRetryPause{10};

class FlockLock : public InterfaceLock {
  public:
    explicit FlockLock(int fd) : fd_(fd) {}
    ~FlockLock() override {
        if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
    }
    FlockLock(const FlockLock&) = delete;
    FlockLock& operator=(const FlockLock&) = delete;

  private:
    int fd_;
};

std::string ProgramOf(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:05:123 0 EOF". The pids
// that hold (or wait for) a flock on `file`, in the table's order; nullopt
// where the system has no such table.
std::optional<std::vector<int>> FlockPids(const struct stat& file) {
    std::ifstream locks("/proc/locks");
    if (!locks) return std::nullopt;
    std::vector<int> pids;
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, device;
        long pid = 0;
        if (!(fields >> number >> kind)) continue;
        if (kind == "->") fields >> kind;  // a waiter, listed under its lock
        if (!(fields >> mode >> access >> pid >> device) || kind != "FLOCK") continue;
        unsigned major_id = 0, minor_id = 0;
        unsigned long long inode = 0;
        if (std::sscanf(device.c_str(), "%x:%x:%llu", &major_id, &minor_id, &inode) != 3) continue;
        if (inode == file.st_ino && major_id == major(file.st_dev) &&
            minor_id == minor(file.st_dev) && pid > 0)
            pids.push_back(int(pid));
    }
    return pids;
}

std::optional<int> PidFromLocks(const struct stat& file) {
    for (int pid : FlockPids(file).value_or(std::vector<int>{}))
        if (pid != getpid()) return pid;
    return std::nullopt;
}

// The same file, however it was named: compared by what it is, not by its
// path text, which a symbolic link or a mocked /dev tells differently.
std::optional<int> PidWithOpen(const struct stat& file) {
    DIR* proc = opendir("/proc");
    if (!proc) return std::nullopt;
    std::optional<int> found;
    while (const dirent* entry = readdir(proc)) {
        char* end = nullptr;
        const long pid = std::strtol(entry->d_name, &end, 10);
        if (*end != '\0' || pid <= 0 || pid == getpid()) continue;
        const std::string fd_dir = "/proc/" + std::string(entry->d_name) + "/fd";
        DIR* fds = opendir(fd_dir.c_str());  // fails for processes of other users
        if (!fds) continue;
        while (const dirent* fd = readdir(fds)) {
            struct stat open_file {};
            const std::string link = fd_dir + "/" + fd->d_name;
            if (::stat(link.c_str(), &open_file) == 0 && open_file.st_dev == file.st_dev &&
                open_file.st_ino == file.st_ino) {
                found = int(pid);
                break;
            }
        }
        closedir(fds);
        if (found) break;
    }
    closedir(proc);
    return found;
}

}  // namespace

LockAttempt LockExclusively(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {std::make_unique<InterfaceLock>(), {}};
    for (int retries = 0;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {std::make_unique<FlockLock>(fd), {}};
        const int error = errno;
        if (error == EINTR) continue;
        if (error == EWOULDBLOCK && retries++ < kLockRetries) {
            std::this_thread::sleep_for(kLockRetryPause);
            continue;
        }
        ::close(fd);
        if (error != EWOULDBLOCK) return {nullptr, {}, error};
        return {nullptr, FindLockHolder(path).value_or(LockHolder{})};
    }
}

std::optional<bool> LockIsHeld(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return std::nullopt;
    const auto pids = FlockPids(file);
    if (!pids) return std::nullopt;
    return !pids->empty();
}

std::optional<LockHolder> FindLockHolder(const std::string& path) {
    struct stat file {};
    if (::stat(path.c_str(), &file) != 0) return std::nullopt;
    std::optional<int> pid = PidFromLocks(file);
    if (!pid) pid = PidWithOpen(file);
    if (!pid) return std::nullopt;
    return LockHolder{ProgramOf(*pid), *pid};
}

}  // namespace talvo
