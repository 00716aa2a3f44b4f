#pragma once
// Keeps the machine awake while a ROM write runs: a laptop that suspends in
// the middle of one leaves the ROM area half written. Holds a logind
// inhibitor lock for sleep and idle from construction to destruction. Where
// there is no system bus or no logind the write goes on without one; a
// front end that can say so finds the reason in failure().

#include <QString>

namespace talvo {

inline const QString kSleepInhibitWho = QStringLiteral("talvo4");
inline const QString kSleepInhibitWhy = QStringLiteral("Writing the TALVO-4 ROM");

class SleepInhibitor {
  public:
    // Asks logind on the system bus (DBUS_SYSTEM_BUS_ADDRESS, or the
    // standard one) for a blocking "sleep:idle" lock. Waits at most a few
    // seconds for the answer; needs a QCoreApplication.
    explicit SleepInhibitor(const QString& who = kSleepInhibitWho,
                            const QString& why = kSleepInhibitWhy);
    // Releases the lock.
    ~SleepInhibitor() { release(); }
    SleepInhibitor(const SleepInhibitor&) = delete;
    SleepInhibitor& operator=(const SleepInhibitor&) = delete;

    bool held() const { return lock_ >= 0; }
    // Why no lock is held, as one line for a terminal (English, no final
    // full stop); empty while one is held.
    const QString& failure() const { return failure_; }
    // Releases the lock before the end of the inhibitor's life.
    void release();

  private:
    // logind keeps the lock while this file descriptor is open.
    int lock_ = -1;
    QString failure_;
};

}  // namespace talvo
