// Host cost of a 1 MiB ROM write per data report, against the simulated
// device answering at once. Twice: through the main window (the progress
// text, its event pass and the send of each report, with the window shown so
// its repaints count too), and as the bare operation with a pacer that never
// sleeps, as a terminal front end runs it (no widgets, no event passes).
// With --usb, one write through the window on a device that keeps the link's
// real pace instead, as the demo shows it: the whole write's length.
// Usage: bench_rom_write [runs | --usb]   (runs on the offscreen platform by default)

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/main_window.h"
#include "rom/rom_plan.h"
#include "rom/rom_write.h"
#include "sim/sim_pacer.h"
#include "sim/sim_platform.h"

namespace {

constexpr int kImageLength = 1048576;
constexpr int kDataReports = kImageLength / 8;

class OneFileDialogs : public talvo::FileDialogs {
  public:
    explicit OneFileDialogs(QString path) : path_(std::move(path)) {}
    QString getOpenFileName(QWidget*, const talvo::FileDialogRequest&) override { return path_; }
    QString getSaveFileName(QWidget*, const talvo::FileDialogRequest&) override { return {}; }

  private:
    QString path_;
};

struct Run {
    double per_report_us = 0;
    double whole_s = 0;
    bool ok = false;
};

// From the write start to the last data report: what each report cost.
double PerReportUs(const talvo::sim::TalvoModel& talvo) {
    const auto& reports = talvo.reports();
    const auto write_start = std::find_if(reports.begin(), reports.end(),
                                          [](const auto& r) { return r.command()[0] == 0x01; });
    if (write_start == reports.end() || reports.end() - write_start < kDataReports + 1) return -1;
    const auto last_data = write_start + kDataReports;
    return std::chrono::duration<double, std::micro>(last_data->time - write_start->time).count() /
           kDataReports;
}

// The operation alone, observed as a terminal would: bytes sent, no texts.
Run OperationOnce(const QString& path) {
    talvo::sim::TalvoModel talvo;
    talvo::sim::SimPlatform platform(talvo);
    talvo::DeviceLink link(platform);
    link.FindDevice();
    // Ticks of no length: no time is spent on waits.
    talvo::sim::SimPacer pacer(talvo.clock, std::chrono::milliseconds(0));
    int64_t last_sent = 0;
    talvo::RomWriteObserver observer;
    observer.progress = [&last_sent](int64_t sent, int64_t) { last_sent = sent; };

    const auto start = std::chrono::steady_clock::now();
    const auto outcome = talvo::WriteRom(link, talvo::kRomAddress, path, {pacer}, observer);
    const auto end = std::chrono::steady_clock::now();

    Run run;
    run.per_report_us = PerReportUs(talvo);
    run.whole_s = std::chrono::duration<double>(end - start).count();
    run.ok = run.per_report_us >= 0 && outcome.done() &&
             outcome.detail.result == talvo::RomWriteResult::SumsMatch && last_sent == kImageLength;
    return run;
}

Run WriteOnce(const QString& path, talvo::sim::LinkSpeed speed) {
    talvo::sim::TalvoModel talvo;
    talvo.setLinkSpeed(speed);
    talvo::sim::SimPlatform platform(talvo);
    talvo::DeviceLink link(platform);
    OneFileDialogs dialogs(path);
    talvo::Program program(link, dialogs);
    talvo::MainWindow window(program);
    window.show();
    talvo::ProcessPendingEvents();

    const auto start = std::chrono::steady_clock::now();
    window.Command10_Click();
    const auto end = std::chrono::steady_clock::now();

    // One progress text, one event pass and one report each.
    Run run;
    run.per_report_us = PerReportUs(talvo);
    run.whole_s = std::chrono::duration<double>(end - start).count();
    run.ok = run.per_report_us >= 0 && talvo.rom.dataReportsTaken() == kDataReports &&
             window.Text1->text().contains(QLatin1String("Write OK"));
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool usb = argc > 1 && std::strcmp(argv[1], "--usb") == 0;
    const int runs = argc > 1 && !usb ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    {
        QFile file(path);
        QByteArray bytes(kImageLength, Qt::Uninitialized);
        for (int i = 0; i < kImageLength; ++i) bytes[i] = char((i * 131 + i / 4093) & 0xFF);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 1;
    }

    if (usb) {
        const Run run = WriteOnce(path, talvo::sim::LinkSpeed::Usb);
        std::printf(
            "1 MiB rom write through the window at usb speed: %.1f s%s (target 131-140 s)\n",
            run.whole_s, run.ok ? "" : ", did not complete");
        return run.ok ? 0 : 1;
    }

    struct Kind {
        const char* name;
        Run (*once)(const QString&);
        double target_us;
    };
    const Kind kinds[] = {
        {"rom write through the window",
         [](const QString& path) { return WriteOnce(path, talvo::sim::LinkSpeed::Instant); }, 10},
        {"rom write operation, no waits", OperationOnce, 1}};
    for (const Kind& kind : kinds) {
        std::vector<double> per_report;
        for (int i = 0; i < runs; ++i) {
            const Run run = kind.once(path);
            if (!run.ok) {
                std::printf("%s, run %d: the write did not complete\n", kind.name, i + 1);
                return 1;
            }
            per_report.push_back(run.per_report_us);
            std::printf("%s, run %d: %.3f us per data report, whole write %.2f s\n", kind.name,
                        i + 1, run.per_report_us, run.whole_s);
        }
        std::sort(per_report.begin(), per_report.end());
        std::printf("%s, %d data reports: median %.3f us per report (best %.3f, target < %g)\n",
                    kind.name, kDataReports, per_report[per_report.size() / 2], per_report.front(),
                    kind.target_us);
    }
    return 0;
}
