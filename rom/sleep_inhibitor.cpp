#include "rom/sleep_inhibitor.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <atomic>

namespace talvo {
namespace {

// Where libdbus looks for the system bus when the environment names none.
const QString kStandardSystemBus = QStringLiteral("unix:path=/var/run/dbus/system_bus_socket");
// A stuck logind must not hold the start of a write for long.
constexpr int kCallTimeoutMs = 3000;

QString SystemBusAddress() {
    const QString address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    return address.isEmpty() ? kStandardSystemBus : address;
}

// A private connection of its own, read from the environment each time:
// the shared system bus connection would keep whatever bus it first met.
class PrivateBus {
  public:
    explicit PrivateBus(const QString& address)
        : name_(QStringLiteral("talvo-sleep-inhibitor-%1").arg(++instance_count)),
          bus_(QDBusConnection::connectToBus(address, name_)) {}
    ~PrivateBus() { QDBusConnection::disconnectFromBus(name_); }
    QDBusConnection& bus() { return bus_; }

  private:
    static inline std::atomic<int> instance_count = 0;
    QString name_;
    QDBusConnection bus_;
};

QString ReasonFor(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
            return QStringLiteral("no logind on the system bus");
        case QDBusError::NoReply:
        case QDBusError::Timeout:
            return QStringLiteral("logind did not answer");
        default:
            return QStringLiteral("logind refused the lock: ") + error.message();
    }
}

}  // namespace

SleepInhibitor::SleepInhibitor(const QString& who, const QString& why) {
    const QString address = SystemBusAddress();
    PrivateBus connection(address);
    QDBusConnection& bus = connection.bus();
    if (!bus.isConnected()) {
        failure_ =
            QStringLiteral("no system bus at %1: %2").arg(address, bus.lastError().message());
        return;
    }
    if (!bus.connectionCapabilities().testFlag(QDBusConnection::UnixFileDescriptorPassing)) {
        failure_ = QStringLiteral("the system bus passes no file descriptors");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep:idle") << who << why << QStringLiteral("block");
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        failure_ = ReasonFor(QDBusError(reply));
        return;
    }
    const QList<QVariant> arguments = reply.arguments();
    if (arguments.size() == 1 && arguments[0].canConvert<QDBusUnixFileDescriptor>()) {
        const auto handed = arguments[0].value<QDBusUnixFileDescriptor>();
        // A copy of our own: the message's closes when the message goes.
        if (handed.isValid()) lock_ = ::fcntl(handed.fileDescriptor(), F_DUPFD_CLOEXEC, 0);
    }
    if (lock_ < 0) failure_ = QStringLiteral("logind handed out no lock");
}

void SleepInhibitor::release() {
    if (lock_ >= 0) ::close(lock_);
    lock_ = -1;
}

}  // namespace talvo
