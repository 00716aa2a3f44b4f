#include <QJsonArray>
#include <QJsonObject>
#include <vector>

#include "cli/commands.h"
#include "remote/remote_key.h"

namespace talvo::cli {
namespace {

// A key by its name first, so a caption such as "15" is the button showing
// it; then by its code, decimal or hexadecimal with 0x.
std::optional<RemoteKey> KeyOf(const QString& word) {
    if (const auto named = RemoteKeyNamed(word.toStdString())) return named;
    bool ok = false;
    const int code = word.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                         ? word.mid(2).toInt(&ok, 16)
                         : word.toInt(&ok, 10);
    if (ok) return RemoteKeyOfCode(code);
    return std::nullopt;
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
        QJsonArray sent_keys;
        const int exit_code = send(session, context, sent_keys);
        context.report.insert(QStringLiteral("keys"), sent_keys);
        return exit_code;
    }

  private:
    // Each key in turn; `sent` gets those the device took.
    int send(Session& session, Context& context, QJsonArray& sent_keys) {
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
                return DeviceWentExit(context.report, sent.ending);
            }
            sent_keys.append(QJsonObject{{QStringLiteral("name"), QLatin1String(keys_[i].name)},
                                         {QStringLiteral("code"), int(keys_[i].code)}});
            context.console.note(QStringLiteral("sent %1").arg(KeyText(keys_[i])));
        }
        return kExitDone;
    }

    std::vector<RemoteKey> keys_;
};

// What the button's picture shows, for the keys table.
QString CaptionText(const RemoteKey& key) {
    switch (key.glyph) {
        case KeyGlyph::Text:
            return QString::fromLatin1(key.label);
        case KeyGlyph::ArrowUp:
            return QStringLiteral("(arrow up)");
        case KeyGlyph::ArrowDown:
            return QStringLiteral("(arrow down)");
        case KeyGlyph::ArrowLeft:
            return QStringLiteral("(arrow left)");
        case KeyGlyph::ArrowRight:
            return QStringLiteral("(arrow right)");
        case KeyGlyph::Dot:
            return QStringLiteral("(dot)");
        case KeyGlyph::Plus:
            return QStringLiteral("(+)");
        case KeyGlyph::Minus:
            return QStringLiteral("(-)");
    }
    return {};
}

QString ButtonText(const RemoteKey& key) { return QStringLiteral("Command%1").arg(key.number); }

class KeysCommand : public Command {
  public:
    bool needsDevice() const override { return false; }

    int run(Session&, Context& context) override {
        QJsonArray table;
        for (const RemoteKey& key : kRemoteKeys) {
            table.append(QJsonObject{{QStringLiteral("name"), QLatin1String(key.name)},
                                     {QStringLiteral("caption"), CaptionText(key)},
                                     {QStringLiteral("code"), int(key.code)},
                                     {QStringLiteral("button"), ButtonText(key)}});
            context.console.out(QStringLiteral("%1\t%2\t0x%3\t%4")
                                    .arg(QString::fromLatin1(key.name), CaptionText(key))
                                    .arg(key.code, 2, 16, QLatin1Char('0'))
                                    .arg(ButtonText(key)));
        }
        context.report.insert(QStringLiteral("keys"), table);
        return kExitDone;
    }
};

}  // namespace

Prepared PrepareKeys(const QStringList& words) {
    if (!words.isEmpty()) return UsageError(QStringLiteral("keys takes no arguments"));
    return {std::make_unique<KeysCommand>(), {}};
}

Prepared PrepareKey(const QStringList& words) {
    if (words.isEmpty()) return UsageError(QStringLiteral("key needs at least one CODE or NAME"));
    std::vector<RemoteKey> keys;
    for (const QString& word : words) {
        const auto key = KeyOf(word);
        if (!key)
            return UsageError(
                QStringLiteral("\"%1\" is no key of the remote control: give a name or "
                               "caption (up, 1B, overscan+; see talvo4ctl keys), a key code "
                               "(0x05 or 5) or a button (Command1 ... Command36)")
                    .arg(word));
        keys.push_back(*key);
    }
    return {std::make_unique<KeyCommand>(std::move(keys)), {}};
}

}  // namespace talvo::cli
