#include <QJsonArray>

#include "cli/commands.h"

namespace talvo::cli {
namespace {

QString StateWord(OpenRefusal refusal) {
    switch (refusal) {
        case OpenRefusal::None:
            return QStringLiteral("ready");
        case OpenRefusal::NoPermission:
            return QStringLiteral("no-permission");
        case OpenRefusal::Busy:
            return QStringLiteral("busy");
        case OpenRefusal::Gone:
            return QStringLiteral("gone");
        case OpenRefusal::Other:
            break;
    }
    return QStringLiteral("cannot-open");
}

QJsonValue TextOrNull(const std::string& text) {
    return text.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(text));
}

// "\tport 1-2.3\tserial A1B2" as far as they are known.
QString AddressColumns(const ListedInterface& interface) {
    QString columns;
    if (!interface.port.empty()) columns += QStringLiteral("\tport ") + Printable(interface.port);
    if (!interface.serial.empty())
        columns += QStringLiteral("\tserial ") + Printable(interface.serial);
    return columns;
}

}  // namespace

QString Printable(const std::string& text) {
    QString printable = QString::fromStdString(text);
    for (QChar& c : printable)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) c = QLatin1Char('?');
    return printable;
}

QJsonObject InterfaceJson(const ListedInterface& interface,
                          const std::optional<LockHolder>& holder) {
    QJsonValue input(QJsonValue::Null);
    QJsonValue output(QJsonValue::Null);
    if (interface.capabilities) {
        input = int(interface.capabilities->InputReportByteLength);
        output = int(interface.capabilities->OutputReportByteLength);
    }
    QJsonObject object{
        {QStringLiteral("path"), QString::fromStdString(interface.path)},
        {QStringLiteral("input_report_length"), input},
        {QStringLiteral("output_report_length"), output},
        {QStringLiteral("state"), IsOtherInterface(interface)
                                      ? QStringLiteral("other-interface")
                                      : StateWord(holder ? OpenRefusal::Busy : interface.refusal)},
        {QStringLiteral("port"), TextOrNull(interface.port)},
        {QStringLiteral("serial"), TextOrNull(interface.serial)}};
    if (holder && (!holder->program.empty() || holder->pid > 0)) {
        QJsonObject user;
        if (!holder->program.empty())
            user.insert(QStringLiteral("program"), QString::fromStdString(holder->program));
        if (holder->pid > 0) user.insert(QStringLiteral("pid"), holder->pid);
        object.insert(QStringLiteral("in_use_by"), user);
    }
    return object;
}

namespace {

class ListCommand : public Command {
  public:
    bool needsDevice() const override { return false; }

    int run(Session& session, Context& context) override {
        const auto listed = session.list();
        if (listed.empty()) {
            context.console.error(Session::NoDeviceText());
            context.report.insert(QStringLiteral("interfaces"), QJsonArray());
            return kExitNoDevice;
        }
        QJsonArray interfaces;
        bool any_usable = false;
        bool any_held = false;
        for (const ListedInterface& interface : listed) {
            const QString path = QString::fromStdString(interface.path);
            const auto holder = session.holderOf(interface);
            interfaces.append(InterfaceJson(interface, holder));
            if (IsOtherInterface(interface)) {
                context.console.out(QStringLiteral("%1\t%2").arg(
                    path, Session::OtherInterfaceText(*interface.capabilities)));
                continue;
            }
            if (interface.refusal != OpenRefusal::None && !holder) {
                context.console.out(QStringLiteral("%1\tcannot be opened: %2")
                                        .arg(path, Session::RefusalText(interface.refusal)) +
                                    AddressColumns(interface));
                continue;
            }
            const QString state = holder ? QString::fromStdString(InUseText(*holder))
                                         : QStringLiteral("can be opened");
            any_usable = any_usable || !holder;
            any_held = any_held || holder;
            if (interface.capabilities)
                context.console.out(
                    QStringLiteral("%1\tinput report %2 bytes, output report %3 bytes\t%4")
                        .arg(path, QString::number(interface.capabilities->InputReportByteLength),
                             QString::number(interface.capabilities->OutputReportByteLength),
                             state) +
                    AddressColumns(interface));
            else if (interface.refusal == OpenRefusal::None)
                context.console.out(
                    QStringLiteral("%1\treport lengths unknown (no report descriptor)\t%2")
                        .arg(path, state) +
                    AddressColumns(interface));
            else
                context.console.out(QStringLiteral("%1\t%2").arg(path, state) +
                                    AddressColumns(interface));
        }
        context.report.insert(QStringLiteral("interfaces"), interfaces);
        const auto locked = FirstWithoutPermission(listed);
        if (locked)
            context.console.error(Session::PermissionAdvice(QString::fromStdString(locked->path)));
        if (any_usable) return kExitDone;
        // As a command that needs the device would find it.
        context.report.setReason(locked     ? Reason::NoPermission
                                 : any_held ? Reason::Busy
                                            : Reason::NoDevice);
        return kExitNoDevice;
    }
};

}  // namespace

Prepared PrepareList(const QStringList& words) {
    if (!words.isEmpty()) return UsageError(QStringLiteral("list takes no arguments"));
    return {std::make_unique<ListCommand>(), {}};
}

}  // namespace talvo::cli
