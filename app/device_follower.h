#pragma once
// The main window's ear on the system: tells it when a HID interface goes or
// comes, from the monitor's socket in the event loop, so that an idle tool
// stays asleep. The one timer is the look again a second later that a
// TALVO-4 held by another program needs; it runs only while the window says so.

#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "device/hid_monitor.h"

class QSocketNotifier;
class QTimer;

namespace talvo {

class DeviceFollower : public QObject {
    Q_OBJECT
  public:
    // How long a device in use waits before it is looked at again.
    static constexpr int kInUseLookMs = 1000;

    DeviceFollower(std::unique_ptr<HidMonitor> monitor, QObject* parent);
    ~DeviceFollower() override;

    // The interface at this path went away.
    std::function<void(const std::string& path)> left;
    // An interface arrived, or a held one is due to be looked at again.
    std::function<void()> look;

    // Asks for one look in kInUseLookMs, unless one is due already.
    void lookAgainLater();
    // No look is due any more.
    void stopLooking();
    QTimer* lookTimer() const { return look_timer_; }

  private:
    void readChanges();

    std::unique_ptr<HidMonitor> monitor_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* look_timer_ = nullptr;
};

}  // namespace talvo
