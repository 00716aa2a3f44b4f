#include "cli/progress.h"

#include <algorithm>
#include <cmath>

namespace talvo::cli {
namespace {

constexpr auto kBarInterval = std::chrono::milliseconds(100);
constexpr auto kLineInterval = std::chrono::seconds(3);
constexpr int kBarWidth = 30;

QString Amount(Progress::Unit unit, double value) {
    if (unit == Progress::Unit::Lines) return QString::number(int64_t(value));
    if (value >= 1024 * 1024) return QStringLiteral("%1 MiB").arg(value / (1024 * 1024), 0, 'f', 1);
    if (value >= 1024) return QStringLiteral("%1 KiB").arg(value / 1024, 0, 'f', 1);
    return QStringLiteral("%1 B").arg(int64_t(value));
}

QString Duration(double seconds) {
    const auto whole = int64_t(std::ceil(std::max(0.0, seconds)));
    return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

Progress::Style Progress::StyleFor(const Console& console) {
    if (console.quiet()) return Style::None;
    return console.errorIsTerminal() ? Style::Bar : Style::Lines;
}

Progress::Progress(Console& console, Style style, QString what, Unit unit)
    : console_(console),
      style_(style),
      what_(std::move(what)),
      unit_(unit),
      start_(Clock::now()),
      next_draw_(start_) {}

QString Progress::Line(const QString& what, Unit unit, int64_t done, int64_t total, double seconds,
                       bool bar) {
    const double fraction = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 0.0;
    QString line = what + QLatin1Char(' ');
    if (bar) {
        const int filled = int(fraction * kBarWidth);
        line += QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                QString(kBarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ");
    }
    line += QStringLiteral("%1% (%2 of %3")
                .arg(int(fraction * 100), 3)
                .arg(Amount(unit, double(done)), Amount(unit, double(total)));
    line += unit == Unit::Lines ? QStringLiteral(" lines)") : QStringLiteral(")");
    if (seconds > 0.05 && done > 0) {
        const double rate = double(done) / seconds;
        line += QStringLiteral(", %1%2/s")
                    .arg(Amount(unit, rate),
                         unit == Unit::Lines ? QStringLiteral(" lines") : QString());
        line += QStringLiteral(", %1 left").arg(Duration(double(total - done) / rate));
    }
    return line;
}

void Progress::draw(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - start_).count();
    if (style_ == Style::Bar) {
        // Pad so that a shorter line wipes out the rest of a longer one.
        console_.rawError(
            '\r' + Line(what_, unit_, done_, total_, seconds, true).leftJustified(78).toUtf8());
        next_draw_ = now + kBarInterval;
    } else {
        console_.rawError(Line(what_, unit_, done_, total_, seconds, false).toUtf8() + '\n');
        next_draw_ = now + kLineInterval;
    }
    drawn_ = true;
}

void Progress::finish() {
    if (style_ == Style::None) return;
    if (style_ == Style::Bar) {
        draw(Clock::now());
        console_.rawError("\n");
    } else if (drawn_) {
        draw(Clock::now());
    }
    drawn_ = false;
}

void Progress::clearLine() {
    if (style_ == Style::Bar && drawn_) console_.rawError('\r' + QByteArray(78, ' ') + '\r');
}

}  // namespace talvo::cli
