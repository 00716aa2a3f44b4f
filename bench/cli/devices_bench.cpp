// Many TALVO-4s on one bench: a 64 KiB ROM write on one simulated device at
// the link's real pace alone, then on 1, 2, 4 and 8 devices at once, each
// in a talvo4ctl process of its own as a bench script runs them. Prints the
// wall time of each round, its ratio to one device alone and the host CPU
// time per device, then checks every device's ROM with rom verify.
// With --mib, one 1 MiB write alone instead: what the demo window waits for.
// Usage: bench_devices [--mib]

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Round {
    double wall_s = 0;
    double cpu_s = 0;  // of all its processes together
    bool ok = true;
};

double CpuSeconds(const rusage& usage) {
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

pid_t Start(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// talvo4ctl on simulated device `port` of `devices`.
std::vector<std::string> Ctl(int devices, int port, const std::string& speed,
                             std::vector<std::string> command) {
    std::vector<std::string> arguments{
        TALVO4CTL_PATH,     "--simulate", "--simulate-devices", std::to_string(devices),
        "--simulate-speed", speed,        "--device",           "usb:sim-" + std::to_string(port),
        "--quiet"};
    arguments.insert(arguments.end(), command.begin(), command.end());
    return arguments;
}

// Runs the commands at once and waits for the last of them.
Round RunAtOnce(const std::vector<std::vector<std::string>>& commands) {
    Round round;
    const auto start = Clock::now();
    std::vector<pid_t> pids;
    for (const auto& command : commands) pids.push_back(Start(command));
    for (pid_t pid : pids) {
        int status = 0;
        rusage usage{};
        if (pid < 0 || wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0)
            round.ok = false;
        round.cpu_s += CpuSeconds(usage);
    }
    round.wall_s = std::chrono::duration<double>(Clock::now() - start).count();
    return round;
}

// `at_once` of `devices` devices written at once.
Round Write(int devices, int at_once, const std::string& file) {
    std::vector<std::vector<std::string>> commands;
    for (int port = 1; port <= at_once; ++port)
        commands.push_back(Ctl(devices, port, "usb", {"rom", "write", file}));
    return RunAtOnce(commands);
}

bool Verified(int devices, int at_once, const std::string& file) {
    std::vector<std::vector<std::string>> commands;
    for (int port = 1; port <= at_once; ++port)
        commands.push_back(Ctl(devices, port, "instant", {"rom", "verify", file}));
    return RunAtOnce(commands).ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool mib = argc > 1 && std::strcmp(argv[1], "--mib") == 0;
    // A runtime folder of its own: its devices' locks and states are new.
    const char* temporary = std::getenv("TMPDIR");
    std::string folder_template =
        std::string(temporary && *temporary ? temporary : "/tmp") + "/bench-devices-XXXXXX";
    const char* folder = mkdtemp(folder_template.data());
    if (!folder) return 1;
    setenv("XDG_RUNTIME_DIR", folder, 1);
    const std::string file = std::string(folder) + "/firmware.bin";
    {
        std::ofstream out(file, std::ios::binary);
        uint32_t x = 12345;
        for (int i = 0; i < (mib ? 1 << 20 : 64 << 10); ++i) {
            x = x * 1103515245u + 12345u;
            out.put(char(x >> 16));
        }
    }
    int status = 0;
    if (mib) {
        const Round alone = Write(1, 1, file);
        const bool verified = Verified(1, 1, file);
        std::printf("1 MiB ROM write at usb speed, alone   %.1f s wall  %.2f s CPU  verify %s\n",
                    alone.wall_s, alone.cpu_s, verified ? "ok" : "FAILED");
        status = alone.ok && verified ? 0 : 1;
    } else {
        const Round alone = Write(8, 1, file);
        std::printf("64 KiB ROM write at usb speed, one device alone: %.2f s wall, %.0f ms CPU%s\n",
                    alone.wall_s, alone.cpu_s * 1e3, alone.ok ? "" : "  (FAILED)");
        std::printf("at once  wall s  ratio  CPU ms/device  rom verify\n");
        status = alone.ok ? 0 : 1;
        for (int at_once : {1, 2, 4, 8}) {
            const Round round = Write(8, at_once, file);
            const bool verified = Verified(8, at_once, file);
            std::printf("%7d  %6.2f  %5.2f  %13.0f  %s\n", at_once, round.wall_s,
                        round.wall_s / alone.wall_s, round.cpu_s * 1e3 / at_once,
                        round.ok && verified ? "all ok" : "FAILED");
            if (!round.ok || !verified) status = 1;
        }
    }
    std::filesystem::remove_all(folder);
    return status;
}
