#pragma once
// Lets a status box repaint at most once per interval while its text changes
// far faster than any screen shows: the ROM write sets a new progress text
// before each of its 131072 data reports, and painting every one of them
// would cost more than the write itself.

#include <QPointer>
#include <QWidget>
#include <chrono>

namespace talvo {

class RepaintPacer {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{20};

    explicit RepaintPacer(QWidget* widget);
    // Paints the widget's last text.
    ~RepaintPacer();
    RepaintPacer(const RepaintPacer&) = delete;
    RepaintPacer& operator=(const RepaintPacer&) = delete;

    // Around each event pass: the pass repaints the widget only when the
    // interval has gone by since its last repaint.
    void beforePass();
    void afterPass();

  private:
    QPointer<QWidget> widget_;
    Clock::time_point last_paint_;
};

}  // namespace talvo
