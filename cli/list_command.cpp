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
            if (interface.refusal != OpenRefusal::None) {
                context.console.out(QStringLiteral("%1\tcannot be opened: %2")
                                        .arg(path, Session::RefusalText(interface.refusal)));
                continue;
            }
            any_usable = true;
            if (interface.capabilities)
                context.console.out(
                    QStringLiteral("%1\tinput report %2 bytes, output report %3 bytes\tcan be "
                                   "opened")
                        .arg(path)
                        .arg(interface.capabilities->InputReportByteLength)
                        .arg(interface.capabilities->OutputReportByteLength));
            else
                context.console.out(QStringLiteral("%1\treport lengths unknown (no report "
                                                   "descriptor)\tcan be opened")
                                        .arg(path));
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
