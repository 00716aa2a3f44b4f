#pragma once
// Progress of a long operation on standard error: a bar redrawn in place on
// a terminal, one plain line every few seconds into a log, nothing with
// --quiet. Cheap enough to be told of every report.

#include <QString>
#include <chrono>
#include <cstdint>

#include "cli/console.h"

namespace talvo::cli {

class Progress {
  public:
    enum class Style { None, Bar, Lines };
    enum class Unit { Lines, Bytes };
    using Clock = std::chrono::steady_clock;

    static Style StyleFor(const Console& console);

    Progress(Console& console, Style style, QString what, Unit unit);

    // `done` of `total` so far. Draws only when it is time to.
    void update(int64_t done, int64_t total) {
        done_ = done;
        total_ = total;
        if (style_ == Style::None || ++calls_ < next_clock_check_) return;
        next_clock_check_ = calls_ + kCallsPerClockCheck;
        const auto now = Clock::now();
        if (now >= next_draw_) draw(now);
    }
    // The last drawing; ends the bar's line.
    void finish();
    // Clears a bar from the terminal line before other text goes there.
    void clearLine();
    int64_t done() const { return done_; }

    // The text of one drawing, without the leading carriage return.
    static QString Line(const QString& what, Unit unit, int64_t done, int64_t total, double seconds,
                        bool bar);

  private:
    static constexpr int64_t kCallsPerClockCheck = 64;
    void draw(Clock::time_point now);

    Console& console_;
    Style style_;
    QString what_;
    Unit unit_;
    Clock::time_point start_;
    Clock::time_point next_draw_;
    int64_t done_ = 0;
    int64_t total_ = 0;
    int64_t calls_ = 0;
    int64_t next_clock_check_ = 0;
    bool drawn_ = false;
};

}  // namespace talvo::cli
