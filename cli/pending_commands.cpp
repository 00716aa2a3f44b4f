#include "cli/commands.h"

namespace talvo::cli {

Prepared PrepareSlot(const QStringList&) { return UsageError(QStringLiteral("slot: not yet")); }
Prepared PrepareCapture(const QStringList&, const QString&) {
    return UsageError(QStringLiteral("capture: not yet"));
}
Prepared PrepareTiming(const QStringList&) { return UsageError(QStringLiteral("timing: not yet")); }
Prepared PrepareRom(const QStringList&) { return UsageError(QStringLiteral("rom: not yet")); }

}  // namespace talvo::cli
