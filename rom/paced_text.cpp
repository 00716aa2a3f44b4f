#include "rom/paced_text.h"

#include <utility>

namespace talvo {

PacedText::PacedText(std::function<void(const QString&)> show,
                     std::function<Clock::time_point()> now, std::chrono::milliseconds interval)
    : show_(std::move(show)), now_(std::move(now)), interval_(interval) {}

PacedText::~PacedText() { flush(); }

void PacedText::show(const QString& text) {
    held_.reset();
    if (last_put_ && text == shown_) return;
    put(text);
}

void PacedText::offer(const QString& text) {
    if (last_put_ && now_() - *last_put_ < interval_) {
        held_ = text;
        return;
    }
    held_.reset();
    put(text);
}

void PacedText::flush() {
    if (!held_) return;
    const QString text = std::move(*held_);
    held_.reset();
    put(text);
}

void PacedText::put(const QString& text) {
    last_put_ = now_();
    shown_ = text;
    show_(text);
}

}  // namespace talvo
