#include "app/device_follower.h"

#include <QSocketNotifier>
#include <QTimer>

namespace talvo {

DeviceFollower::DeviceFollower(std::unique_ptr<HidMonitor> monitor, QObject* parent)
    : QObject(parent), monitor_(std::move(monitor)) {
    setObjectName(QStringLiteral("deviceFollower"));
    notifier_ = new QSocketNotifier(monitor_->descriptor(), QSocketNotifier::Read, this);
    QObject::connect(notifier_, &QSocketNotifier::activated, this, &DeviceFollower::readChanges);
    look_timer_ = new QTimer(this);
    look_timer_->setObjectName(QStringLiteral("inUseLook"));
    look_timer_->setSingleShot(true);
    look_timer_->setInterval(kInUseLookMs);
    QObject::connect(look_timer_, &QTimer::timeout, this, [this] {
        if (look) look();
    });
}

DeviceFollower::~DeviceFollower() {
    // The notifier must go before the descriptor it watches.
    delete notifier_;
}

void DeviceFollower::lookAgainLater() {
    if (!look_timer_->isActive()) look_timer_->start();
}

void DeviceFollower::stopLooking() { look_timer_->stop(); }

void DeviceFollower::readChanges() {
    bool arrived = false;
    for (const HidChange& change : monitor_->take()) {
        if (change.kind == HidChange::Kind::Left) {
            if (left) left(change.path);
        } else {
            arrived = true;
        }
    }
    // One look for any number of arrivals: a TALVO-4 brings one node, but a
    // hub full of devices many.
    if (arrived && look) look();
}

}  // namespace talvo
