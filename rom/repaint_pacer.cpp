#include "rom/repaint_pacer.h"

namespace talvo {

RepaintPacer::RepaintPacer(QWidget* widget) : widget_(widget), last_paint_(Clock::now()) {
    if (widget_) widget_->setUpdatesEnabled(false);
}

RepaintPacer::~RepaintPacer() {
    // Enabling updates schedules the repaint of the text that stands now.
    if (widget_) widget_->setUpdatesEnabled(true);
}

void RepaintPacer::beforePass() {
    if (!widget_ || Clock::now() - last_paint_ < kInterval) return;
    widget_->setUpdatesEnabled(true);
    last_paint_ = Clock::now();
}

void RepaintPacer::afterPass() {
    if (widget_ && widget_->updatesEnabled()) widget_->setUpdatesEnabled(false);
}

}  // namespace talvo
