#include "tests/support/login1_stand_in.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QFile>

namespace talvo::testing {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kStandInConnection = QStringLiteral("login1-stand-in");

QByteArray BusConfig(const QString& socket) {
    return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig>\n"
           "  <type>session</type>\n"
           "  <listen>unix:path=" +
           QFile::encodeName(socket) +
           "</listen>\n"
           "  <auth>EXTERNAL</auth>\n"
           "  <policy context=\"default\">\n"
           "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
           "    <allow eavesdrop=\"true\"/>\n"
           "    <allow own=\"*\"/>\n"
           "  </policy>\n"
           "</busconfig>\n";
}

}  // namespace

Login1StandIn::~Login1StandIn() {
    if (read_end_ >= 0) ::close(read_end_);
}

std::vector<InhibitCall> Login1StandIn::calls() const {
    QMutexLocker lock(&mutex_);
    return calls_;
}

void Login1StandIn::setRefusing(bool refusing) {
    QMutexLocker lock(&mutex_);
    refusing_ = refusing;
}

QDBusUnixFileDescriptor Login1StandIn::Inhibit(const QString& what, const QString& who,
                                               const QString& why, const QString& mode) {
    QMutexLocker lock(&mutex_);
    calls_.push_back({what, who, why, mode});
    if (refusing_) {
        sendErrorReply(QDBusError::AccessDenied, QStringLiteral("Permission denied"));
        return {};
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {};
    if (read_end_ >= 0) ::close(read_end_);
    read_end_ = ends[0];
    QDBusUnixFileDescriptor handed(ends[1]);  // a copy of its own
    ::close(ends[1]);
    return handed;
}

bool Login1StandIn::hungUpWithin(int ms) const {
    QMutexLocker lock(&mutex_);
    if (read_end_ < 0) return true;
    pollfd end{read_end_, POLLIN, 0};
    return ::poll(&end, 1, ms) == 1 && (end.revents & (POLLHUP | POLLIN));
}

StandInSystemBus::StandInSystemBus() {
    const QString config = dir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(BusConfig(dir_.filePath(QStringLiteral("system_bus_socket"))));
    file.close();
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                   QStringLiteral("--print-address")});
    if (!daemon_.waitForStarted(10000)) return;
    for (int i = 0; i < 100 && !daemon_.canReadLine(); ++i) daemon_.waitForReadyRead(100);
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    if (address_.isEmpty()) return;
    use();

    stand_in_ = new Login1StandIn;
    stand_in_->moveToThread(&thread_);
    thread_.start();
    QDBusConnection bus = QDBusConnection::connectToBus(address_, kStandInConnection);
    ok_ = bus.isConnected() &&
          bus.registerObject(QStringLiteral("/org/freedesktop/login1"), stand_in_,
                             QDBusConnection::ExportAllSlots) &&
          bus.registerService(kService);
}

StandInSystemBus::~StandInSystemBus() {
    QDBusConnection::disconnectFromBus(kStandInConnection);
    thread_.quit();
    thread_.wait(5000);
    delete stand_in_;
    daemon_.terminate();
    daemon_.waitForFinished(5000);
}

void StandInSystemBus::use() { qputenv("DBUS_SYSTEM_BUS_ADDRESS", address_.toUtf8()); }

void StandInSystemBus::useNoBus() {
    qputenv("DBUS_SYSTEM_BUS_ADDRESS",
            "unix:path=" + QFile::encodeName(dir_.filePath(QStringLiteral("none"))));
}

bool StandInSystemBus::leaveBus() {
    return QDBusConnection(kStandInConnection).unregisterService(kService);
}

bool StandInSystemBus::returnToBus() {
    return QDBusConnection(kStandInConnection).registerService(kService);
}

}  // namespace talvo::testing
