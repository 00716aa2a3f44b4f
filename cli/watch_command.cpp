// watch: a line for every TALVO-4 interface that arrives or leaves, the ones
// present first, as arrivals; until Ctrl+C or the end of --wait.

#include <QJsonDocument>
#include <map>

#include "cli/commands.h"
#include "cli/device_wait.h"

namespace talvo::cli {
namespace {

QString Column(const std::string& text) {
    return text.empty() ? QStringLiteral("-") : Printable(text);
}

class WatchCommand : public Command {
  public:
    explicit WatchCommand(std::optional<double> wait_seconds) : wait_seconds_(wait_seconds) {}

    bool needsDevice() const override { return false; }

    int run(Session& session, Context& context) override {
        using Clock = DeviceWait::Clock;
        DeviceWait wait(session.monitor());
        if (!wait.hasMonitor())
            context.console.note(
                QStringLiteral("talvo4ctl: no word from udev here; looking for changes "
                               "four times a second"));
        const Clock::time_point until =
            wait_seconds_ ? Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                               std::chrono::duration<double>(*wait_seconds_))
                          : Clock::time_point::max();
        look(session, context, {});
        context.console.note(
            QStringLiteral("talvo4ctl: watching for TALVO-4 interfaces that "
                           "arrive or leave; Ctrl+C ends"));
        for (;;) {
            std::vector<HidChange> changes;
            switch (wait.wait(until, context.interrupts, &changes)) {
                case DeviceWait::Woken::Changed:
                    look(session, context, changes);
                    break;
                case DeviceWait::Woken::TimeUp:
                case DeviceWait::Woken::Interrupted:
                    // Watching has no end of its own: either way is how it ends.
                    return kExitDone;
            }
        }
    }

  private:
    // Tells every interface that left or arrived since the last look. A
    // node the monitor last said left is gone, even where sysfs still
    // shows it for a moment.
    void look(Session& session, Context& context, const std::vector<HidChange>& changes) {
        std::map<std::string, bool> left;
        for (const HidChange& change : changes)
            left[change.path] = change.kind == HidChange::Kind::Left;
        std::map<std::string, ListedInterface> now;
        for (ListedInterface& listed : session.list()) {
            const std::string path = listed.path;
            if (!left[path]) now.emplace(path, std::move(listed));
        }
        for (const auto& [path, listed] : present_)
            if (!now.count(path)) tell(context, QStringLiteral("left"), listed, std::nullopt);
        for (const auto& [path, listed] : now)
            if (!present_.count(path))
                tell(context, QStringLiteral("arrived"), listed, session.holderOf(listed));
        present_ = std::move(now);
    }

    void tell(Context& context, const QString& event, const ListedInterface& listed,
              const std::optional<LockHolder>& holder) {
        const bool arrived = event == QLatin1String("arrived");
        if (context.console.json()) {
            QJsonObject object{{QStringLiteral("event"), event}};
            const QJsonObject interface = InterfaceJson(listed, holder);
            for (auto it = interface.begin(); it != interface.end(); ++it)
                // What a departed interface was like is no news.
                if (arrived || it.key() == QLatin1String("path") ||
                    it.key() == QLatin1String("port") || it.key() == QLatin1String("serial"))
                    object.insert(it.key(), it.value());
            context.console.rawOut(QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n');
            return;
        }
        QString line = event + QLatin1Char('\t') + Printable(listed.path) + QLatin1Char('\t') +
                       Column(listed.port);
        if (arrived) line += QLatin1Char('\t') + StateText(listed, holder);
        context.console.out(line);
    }

    static QString StateText(const ListedInterface& listed,
                             const std::optional<LockHolder>& holder) {
        if (holder) return QString::fromStdString(InUseText(*holder));
        if (listed.refusal == OpenRefusal::None) return QStringLiteral("ready");
        if (listed.refusal == OpenRefusal::NoPermission) return QStringLiteral("no permission");
        return Session::RefusalText(listed.refusal);
    }

    std::optional<double> wait_seconds_;
    std::map<std::string, ListedInterface> present_;
};

}  // namespace

Prepared PrepareWatch(const QStringList& words, std::optional<double> wait_seconds) {
    if (!words.isEmpty()) return UsageError(QStringLiteral("watch takes no arguments"));
    return {std::make_unique<WatchCommand>(wait_seconds), {}};
}

}  // namespace talvo::cli
