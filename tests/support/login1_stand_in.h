#pragma once
// A stand-in of logind on a system bus of the test's own: what the sleep
// lock of a ROM write and talvo4ctl doctor meet instead of the machine's.

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusUnixFileDescriptor>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <vector>

namespace talvo::testing {

struct InhibitCall {
    QString what, who, why, mode;
};

// Answers Inhibit as logind does: with the write end of a pipe, whose read
// end it keeps, so that it sees the lock go when every copy is closed.
// Lives in a thread of its own, since the caller blocks while it waits.
class Login1StandIn : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

  public:
    ~Login1StandIn() override;
    std::vector<InhibitCall> calls() const;
    void setRefusing(bool refusing);
    // Whether the last lock handed out is still open somewhere else.
    bool lockHeld() const { return !hungUpWithin(0); }
    bool lockReleasedWithin(int ms) const { return hungUpWithin(ms); }

  public slots:
    QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString& why,
                                    const QString& mode);

  private:
    bool hungUpWithin(int ms) const;

    mutable QMutex mutex_;
    std::vector<InhibitCall> calls_;
    bool refusing_ = false;
    int read_end_ = -1;
};

// A bus daemon that lets anyone own a name and call anything, with the
// stand-in on it, named in DBUS_SYSTEM_BUS_ADDRESS while this lives.
class StandInSystemBus {
  public:
    StandInSystemBus();
    ~StandInSystemBus();
    StandInSystemBus(const StandInSystemBus&) = delete;
    StandInSystemBus& operator=(const StandInSystemBus&) = delete;

    // False when the daemon or the stand-in could not be set up.
    bool ok() const { return ok_; }
    Login1StandIn& standIn() { return *stand_in_; }
    // Points DBUS_SYSTEM_BUS_ADDRESS at this bus again, or at a socket
    // that does not exist.
    void use();
    void useNoBus();
    // Takes the stand-in off the bus (logind missing), and puts it back.
    bool leaveBus();
    bool returnToBus();

  private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
    QThread thread_;
    Login1StandIn* stand_in_ = nullptr;
    bool ok_ = false;
};

}  // namespace talvo::testing
