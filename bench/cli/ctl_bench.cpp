// Host cost per report of talvo4ctl's capture and ROM write: the commands
// the program runs, in process, on the simulated TALVO-4 answering at once,
// with their progress drawn into a log (standard error not a terminal).
// The waits of the ROM write's erase and verify are not counted: only the
// reports of the capture's lines and of the ROM transfer. Then the whole
// commands rom write and rom verify of the same file, waits included.
// Usage: bench_ctl [runs]

#include <time.h>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "cli/commands.h"
#include "sim/sim_platform.h"

namespace {

using talvo::sim::RecordedReport;

struct Figures {
    double per_report_us = 0;
    double cpu_per_report_us = 0;  // the whole command's CPU time over the same reports
    int reports = 0;
    bool ok = false;
};

// CPU time of this thread: on a busy machine the wall clock also counts the
// time other programs had the CPU.
double ThreadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

// talvo4ctl in process, on a simulated device of its own, talking into `log`.
struct SimulatedTool {
    explicit SimulatedTool(FILE* log) : console(log, log, false), session(platform, {}, console) {}
    bool run(const talvo::cli::Prepared& prepared) {
        return prepared.command && prepared.command->run(session, context) == 0;
    }

    talvo::sim::TalvoModel talvo;
    talvo::sim::SimPlatform platform{talvo};
    talvo::cli::Console console;
    talvo::cli::Session session;
    talvo::cli::Interrupts interrupts;
    talvo::cli::Context context{console, interrupts};
};

// Runs a prepared command on a fresh simulated device; `measure` picks the
// reports of interest from what the device received.
template <typename Measure>
Figures RunOnce(const talvo::cli::Prepared& prepared, FILE* log, Measure measure) {
    Figures figures;
    SimulatedTool tool(log);
    const double cpu_start = ThreadCpuMicros();
    if (!tool.session.connect() || !tool.run(prepared)) return figures;
    const double cpu = ThreadCpuMicros() - cpu_start;
    figures = measure(tool.talvo);
    if (figures.reports > 0) figures.cpu_per_report_us = cpu / figures.reports;
    return figures;
}

double Micros(const RecordedReport& from, const RecordedReport& to) {
    return std::chrono::duration<double, std::micro>(to.time - from.time).count();
}

// From the first line request to capture_end: every line request and each
// of its data reports read, per report read.
Figures CaptureFigures(const talvo::sim::TalvoModel& talvo) {
    Figures figures;
    const auto& reports = talvo.reports();
    const auto first = std::find_if(reports.begin(), reports.end(),
                                    [](const auto& r) { return r.command()[0] == 0x15; });
    const auto end =
        std::find_if(first, reports.end(), [](const auto& r) { return r.command()[0] == 0x16; });
    if (first == reports.end() || end == reports.end()) return figures;
    figures.reports = talvo.readsServed();
    figures.per_report_us = Micros(*first, *end) / figures.reports;
    figures.ok = true;
    return figures;
}

// From the write start to the last data report.
Figures RomFigures(const talvo::sim::TalvoModel& talvo, int data_reports) {
    Figures figures;
    const auto& reports = talvo.reports();
    const auto start = std::find_if(reports.begin(), reports.end(),
                                    [](const auto& r) { return r.command()[0] == 0x01; });
    if (start == reports.end() || reports.end() - start < data_reports + 1) return figures;
    figures.reports = data_reports;
    figures.per_report_us = Micros(*start, *(start + data_reports)) / data_reports;
    figures.ok = true;
    return figures;
}

double Median(std::vector<double> runs) {
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

void Print(const char* what, const std::vector<Figures>& runs) {
    std::vector<double> wall, cpu;
    for (const Figures& run : runs) {
        wall.push_back(run.per_report_us);
        cpu.push_back(run.cpu_per_report_us);
    }
    std::printf(
        "%-42s %7d reports  wall %.3f us/report (best %.3f)  CPU of the whole "
        "command %.3f us/report\n",
        what, runs.front().reports, Median(wall), *std::min_element(wall.begin(), wall.end()),
        Median(cpu));
}

// Whole-command wall time of `rom write FILE` and then `rom verify FILE` on one
// simulated device, waits included: what a bench script pays for each.
struct WriteAndVerify {
    double write_s = 0;
    double verify_s = 0;
    bool ok = false;
};

WriteAndVerify TimeWriteThenVerify(const QString& path, FILE* log) {
    using Clock = std::chrono::steady_clock;
    SimulatedTool tool(log);
    WriteAndVerify times;
    if (!tool.session.connect()) return times;
    const auto timed = [&](const char* command, double& seconds) {
        const auto prepared = talvo::cli::PrepareRom({QString::fromLatin1(command), path});
        const Clock::time_point start = Clock::now();
        const bool ok = tool.run(prepared);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        return ok;
    };
    times.ok = timed("write", times.write_s) && timed("verify", times.verify_s);
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    FILE* log = std::fopen("/dev/null", "w");
    QTemporaryDir dir;
    if (!log || !dir.isValid()) return 1;

    constexpr int kRomLength = 1048576;
    const QString rom_path = dir.filePath(QStringLiteral("rom.bin"));
    QFile rom(rom_path);
    if (!rom.open(QIODevice::WriteOnly) || rom.write(QByteArray(kRomLength, '\x5A')) != kRomLength)
        return 1;
    rom.close();
    const QString picture = dir.filePath(QStringLiteral("picture.bmp"));

    std::vector<Figures> capture, write;
    for (int i = 0; i < runs; ++i) {
        const Figures c = RunOnce(talvo::cli::PrepareCapture({}, picture), log, CaptureFigures);
        const Figures w = RunOnce(
            talvo::cli::PrepareRom({QStringLiteral("write"), rom_path}), log,
            [](const talvo::sim::TalvoModel& talvo) { return RomFigures(talvo, kRomLength / 8); });
        if (!c.ok || !w.ok) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        capture.push_back(c);
        write.push_back(w);
    }
    Print("talvo4ctl capture 640 x 480 (reads)", capture);
    Print("talvo4ctl rom write 1 MiB (data reports)", write);

    std::vector<double> write_s, verify_s;
    for (int i = 0; i < runs; ++i) {
        const WriteAndVerify times = TimeWriteThenVerify(rom_path, log);
        if (!times.ok) {
            std::fprintf(stderr, "a write or its check failed\n");
            return 1;
        }
        write_s.push_back(times.write_s);
        verify_s.push_back(times.verify_s);
    }
    std::printf("talvo4ctl rom write 1 MiB, whole command     %.3f s (median of %d)\n",
                Median(write_s), runs);
    std::printf("talvo4ctl rom verify 1 MiB, whole command    %.3f s (median of %d)\n",
                Median(verify_s), runs);
    std::fclose(log);
    return 0;
}
