#include "cli/commands.h"

namespace talvo::cli {
namespace {

class ListCommand : public Command {
  public:
    bool needsDevice() const override { return false; }

    int run(Session& session, Context& context) override {
        const auto listed = session.list();
        if (listed.empty()) {
            context.console.error(Session::NoDeviceText());
            return kExitNoDevice;
        }
        bool any_usable = false;
        for (const ListedInterface& interface : listed) {
            const QString path = QString::fromStdString(interface.path);
            const auto holder = session.holderOf(interface);
            if (interface.refusal != OpenRefusal::None && !holder) {
                context.console.out(QStringLiteral("%1\tcannot be opened: %2")
                                        .arg(path, Session::RefusalText(interface.refusal)));
                continue;
            }
            const QString state = holder ? QString::fromStdString(InUseText(*holder))
                                         : QStringLiteral("can be opened");
            any_usable = any_usable || !holder;
            if (interface.capabilities)
                context.console.out(
                    QStringLiteral("%1\tinput report %2 bytes, output report %3 bytes\t%4")
                        .arg(path, QString::number(interface.capabilities->InputReportByteLength),
                             QString::number(interface.capabilities->OutputReportByteLength),
                             state));
            else if (interface.refusal == OpenRefusal::None)
                context.console.out(
                    QStringLiteral("%1\treport lengths unknown (no report descriptor)\t%2")
                        .arg(path, state));
            else
                context.console.out(QStringLiteral("%1\t%2").arg(path, state));
        }
        if (const auto locked = FirstWithoutPermission(listed))
            context.console.error(Session::PermissionAdvice(QString::fromStdString(locked->path)));
        return any_usable ? kExitDone : kExitNoDevice;
    }
};

}  // namespace

Prepared PrepareList(const QStringList& words) {
    if (!words.isEmpty()) return UsageError(QStringLiteral("list takes no arguments"));
    return {std::make_unique<ListCommand>(), {}};
}

}  // namespace talvo::cli
