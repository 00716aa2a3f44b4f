#include <vector>

#include "cli/commands.h"
#include "remote/remote_key.h"

namespace talvo::cli {
namespace {

// A key by its code (decimal, or hexadecimal with 0x) or its button name.
std::optional<RemoteKey> KeyOf(const QString& word) {
    bool ok = false;
    const int code = word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                         ? word.mid(2).toInt(&ok, 16)
                         : word.toInt(&ok, 10);
    if (ok) return RemoteKeyOfCode(code);
    return RemoteKeyNamed(word.toStdString());
}

QString KeyText(const RemoteKey& key) {
    return QStringLiteral("Command%1 (code 0x%2)")
        .arg(key.number)
        .arg(key.code, 2, 16, QLatin1Char('0'));
}

class KeyCommand : public Command {
  public:
    explicit KeyCommand(std::vector<RemoteKey> keys) : keys_(std::move(keys)) {}

    int run(Session& session, Context& context) override {
        for (size_t i = 0; i < keys_.size(); ++i) {
            if (context.interrupts.presses() > 0) {
                context.console.error(QStringLiteral("talvo4ctl: interrupted; %1 of %2 keys sent")
                                          .arg(i)
                                          .arg(keys_.size()));
                return kExitInterrupted;
            }
            const RemoteKeyOutcome sent =
                SendRemoteKey(session.link(), keys_[i].code, OnDeviceLost::End);
            if (sent.ending == Ending::DeviceBusy) {
                context.console.error(
                    QStringLiteral("talvo4ctl: another sequence holds the device"));
                return kExitFailed;
            }
            if (!sent.done()) {
                context.console.error(QStringLiteral("talvo4ctl: %1 at key %2; %3 of %4 keys "
                                                     "sent before it")
                                          .arg(LostDeviceText(session.link()), KeyText(keys_[i]))
                                          .arg(i)
                                          .arg(keys_.size()));
                return kExitDeviceLost;
            }
            context.console.note(QStringLiteral("sent %1").arg(KeyText(keys_[i])));
        }
        return kExitDone;
    }

  private:
    std::vector<RemoteKey> keys_;
};

}  // namespace

Prepared PrepareKey(const QStringList& words) {
    if (words.isEmpty()) return UsageError(QStringLiteral("key needs at least one CODE or NAME"));
    std::vector<RemoteKey> keys;
    for (const QString& word : words) {
        const auto key = KeyOf(word);
        if (!key)
            return UsageError(
                QStringLiteral("\"%1\" is no key of the remote control: give a key code of "
                               "its table (0x05 or 5) or a button name (Command1 ... Command36)")
                    .arg(word));
        keys.push_back(*key);
    }
    return {std::make_unique<KeyCommand>(std::move(keys)), {}};
}

}  // namespace talvo::cli
