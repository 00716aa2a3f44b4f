#pragma once
// Helpers for driving the timing window on the simulated TALVO-4.

#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "tests/support/rig.h"
#include "timing/form6.h"
#include "timing/timing_commands.h"
#include "timing/timing_operations.h"

namespace talvo::testing {

// How long a test waits for a closed window to be gone.
inline constexpr int kCloseWait = 2000;  // ms

// More reports than any timing test sends (an opening and a few loads and
// moves are well under a hundred).
inline constexpr int kReportBound = 200;

// Makes a runaway sequence fail its test quickly and by name instead of
// running into the test program's time limit: past kReportBound reports, or
// once a read has waited out its whole second on the simulated device (which
// answers every timing command at once unless a test silences it), the test
// fails and the program is marked as ending, which ends every sequence at
// its next pause. Put in front of whatever watched the reports before.
inline void BoundTimingSequences(Rig& rig) {
    auto reports = std::make_shared<int>(0);
    rig.talvo.on_report = [&rig, reports,
                           before = rig.talvo.on_report](const sim::RecordedReport& report) {
        if (before) before(report);
        if (ProgramEnding()) return;
        const char* fault = nullptr;
        if (++*reports > kReportBound) fault = "a timing sequence sends without end";
        if (rig.link.health().last_read == ReadOutcome::TimedOut)
            fault = "a read waited for an answer the device never owed";
        if (!fault) return;
        QTest::qFail(fault, __FILE__, __LINE__);
        SetProgramEnding(true);
    };
}

// Opens the timing window through the main window's hidden button, with the
// record of reports emptied first. Null if the window did not open.
inline Form6* OpenTiming(Rig& rig) {
    rig.main();
    DriveTicksByDevice(rig.program.ticks, rig.talvo);
    rig.talvo.clearRecord();
    // Once per rig: every later report counts against the same bound.
    if (!rig.talvo.on_report) BoundTimingSequences(rig);
    rig.main().Command1_Click();
    return rig.main().timingWindow();
}

// The report of `code` for the group of four image bytes at k.
inline CommandArray GroupReport(uint8_t code, const TimingState& timing, int k) {
    const auto& image = timing.timing_image;
    return {code,
            0x00,
            uint8_t(timing.timing_base + k),
            timing.timing_page,
            image[size_t(k)],
            image[size_t(k + 1)],
            image[size_t(k + 2)],
            image[size_t(k + 3)]};
}

// Fewest ticks of the main window between two consecutive reports of
// `code`, on the device's clock; -1 if fewer than two were sent.
inline int FewestTicksBetween(const Rig& rig, uint8_t code) {
    int fewest = -1;
    std::optional<sim::Clock::time_point> previous;
    for (const sim::RecordedReport& report : rig.talvo.reports()) {
        if (report.command()[0] != code) continue;
        const int ticks = previous ? int((report.time - *previous) / kMainTick) : -1;
        if (previous && (fewest < 0 || ticks < fewest)) fewest = ticks;
        previous = report.time;
    }
    return fewest;
}

// Where a part of a scroll bar (arrow, track) lies, as the bar's style draws it.
inline QPoint PartOf(const QScrollBar* bar, QStyle::SubControl part) {
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = bar->orientation();
    if (bar->orientation() == Qt::Horizontal) option.state |= QStyle::State_Horizontal;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.subControls = QStyle::SC_All;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

}  // namespace talvo::testing
