// Host cost of a 1 MiB ROM write per data report, against the simulated
// device answering at once: the progress text, its event pass and the send
// of each report, with the main window shown so its repaints count too.
// Usage: bench_rom_write [runs]   (runs on the offscreen platform by default)

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "app/main_window.h"
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

Run WriteOnce(const QString& path) {
    talvo::sim::TalvoModel talvo;
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

    // From the write start to the last data report: one progress text, one
    // event pass and one report each.
    Run run;
    const auto& reports = talvo.reports();
    const auto write_start = std::find_if(reports.begin(), reports.end(),
                                          [](const auto& r) { return r.command()[0] == 0x01; });
    if (write_start == reports.end() || reports.end() - write_start < kDataReports + 1) return run;
    const auto last_data = write_start + kDataReports;
    run.per_report_us =
        std::chrono::duration<double, std::micro>(last_data->time - write_start->time).count() /
        kDataReports;
    run.whole_s = std::chrono::duration<double>(end - start).count();
    run.ok = talvo.rom.dataReportsTaken() == kDataReports &&
             window.Text1->text().contains(QLatin1String("Write OK"));
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("image.bin"));
    {
        QFile file(path);
        QByteArray bytes(kImageLength, Qt::Uninitialized);
        for (int i = 0; i < kImageLength; ++i) bytes[i] = char((i * 131 + i / 4093) & 0xFF);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return 1;
    }

    std::vector<double> per_report;
    for (int i = 0; i < runs; ++i) {
        const Run run = WriteOnce(path);
        if (!run.ok) {
            std::printf("run %d: the write did not complete\n", i + 1);
            return 1;
        }
        per_report.push_back(run.per_report_us);
        std::printf("run %d: %.2f us per data report, whole write %.2f s\n", i + 1,
                    run.per_report_us, run.whole_s);
    }
    std::sort(per_report.begin(), per_report.end());
    std::printf("rom write, %d data reports: median %.2f us per report (best %.2f, target < 10)\n",
                kDataReports, per_report[per_report.size() / 2], per_report.front());
    return 0;
}
