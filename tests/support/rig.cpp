#include "tests/support/rig.h"

#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace talvo::testing {

QString ScriptedDialogs::next() {
    if (while_open) while_open();
    if (answers.empty()) return QString();
    QString answer = answers.front();
    answers.pop_front();
    return answer;
}

QString ScriptedDialogs::getOpenFileName(QWidget*, const FileDialogRequest& request) {
    open_requests.push_back(request);
    return next();
}

QString ScriptedDialogs::getSaveFileName(QWidget*, const FileDialogRequest& request) {
    save_requests.push_back(request);
    return next();
}

namespace {
sim::SimPlatform MakePlatform(bool connected, sim::TalvoModel& talvo) {
    return connected ? sim::SimPlatform(talvo) : sim::SimPlatform();
}
}  // namespace

Rig::Rig(bool connected)
    : platform(MakePlatform(connected, talvo)), link(platform), program(link, dialogs, &platform) {}

Rig::~Rig() = default;

MainWindow& Rig::main() {
    if (!main_) main_ = std::make_unique<MainWindow>(program);
    return *main_;
}

std::vector<CommandArray> SentWithCode(const Rig& rig, uint8_t code) {
    std::vector<CommandArray> sent;
    for (const CommandArray& command : rig.talvo.commands())
        if (command[0] == code) sent.push_back(command);
    return sent;
}

void DriveTicksByDevice(Ticks& ticks, sim::TalvoModel& talvo, std::function<void()> after_tick) {
    sim::SimClock& clock = talvo.clock;
    clock.makeVirtual();
    ticks.driveBy({[&clock, after_tick = std::move(after_tick)](std::chrono::milliseconds period) {
                       clock.sleepFor(period);
                       if (after_tick) after_tick();
                   },
                   [&clock] { return clock.now(); }});
}

QStringList ShownTexts(const QWidget* window) {
    QStringList texts;
    auto add = [&texts](const QString& text) {
        if (!text.isEmpty()) texts << text;
    };
    add(window->windowTitle());
    QList<const QWidget*> widgets{window};
    for (const QWidget* child : window->findChildren<QWidget*>()) widgets << child;
    for (const QWidget* w : widgets) {
        add(w->accessibleName());
        add(w->accessibleDescription());
        add(w->toolTip());
        if (auto* b = qobject_cast<const QAbstractButton*>(w)) add(b->text());
        if (auto* l = qobject_cast<const QLabel*>(w)) add(l->text());
        if (auto* e = qobject_cast<const QLineEdit*>(w)) add(e->text());
        if (auto* e = qobject_cast<const QPlainTextEdit*>(w)) add(e->toPlainText());
        if (auto* e = qobject_cast<const QTextEdit*>(w)) add(e->toPlainText());
        if (auto* g = qobject_cast<const QGroupBox*>(w)) add(g->title());
    }
    return texts;
}

}  // namespace talvo::testing

#include <QStringDecoder>
#include <QStringEncoder>

namespace talvo::testing {
bool EncodesInCp932(const QString& text) {
    QStringEncoder encoder("windows-31j");
    QStringDecoder decoder("windows-31j");
    if (!encoder.isValid() || !decoder.isValid()) return false;
    const QByteArray bytes = encoder.encode(text);
    if (encoder.hasError()) return false;
    const QString back = decoder.decode(bytes);
    return !decoder.hasError() && back == text;
}
}  // namespace talvo::testing

namespace talvo::testing {
QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
}  // namespace talvo::testing
