#pragma once
// Lets a status box take a new text at most once per interval while a
// sequence offers one far more often than anybody can read: the ROM write
// has a progress text for each of its 131072 data reports. Every text a box
// takes costs a repaint and, with a screen reader listening, a deletion and
// an insertion on the accessibility bus; ten texts a second read the same
// to a person and keep the bus quiet.

#include <QString>
#include <chrono>
#include <functional>
#include <optional>

namespace talvo {

class PacedText {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kInterval{100};

    // `show` puts a text into the box; `now` is the clock the interval runs
    // on (the front end's, so that a test drives it).
    PacedText(std::function<void(const QString&)> show, std::function<Clock::time_point()> now,
              std::chrono::milliseconds interval = kInterval);
    // The text held back still reaches the box: a sequence that ends, however
    // it ends, leaves its latest text standing.
    ~PacedText();
    PacedText(const PacedText&) = delete;
    PacedText& operator=(const PacedText&) = delete;

    // A text that must stand now (a step of the sequence, its verdict): shown
    // at once, unless the box shows it already. A text held back is dropped,
    // since this one is newer.
    void show(const QString& text);
    // A text that may wait (progress): shown at once when the interval has
    // gone by since the box last took a text, else held back until the next
    // offer after the interval or the next flush.
    void offer(const QString& text);
    // Shows the text held back, if any: before each wait, so that the box
    // never stands still on an old text.
    void flush();

  private:
    void put(const QString& text);

    std::function<void(const QString&)> show_;
    std::function<Clock::time_point()> now_;
    std::chrono::milliseconds interval_;
    std::optional<Clock::time_point> last_put_;
    QString shown_;
    std::optional<QString> held_;
};

}  // namespace talvo
