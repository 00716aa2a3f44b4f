#include "remote/form2.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTimer>

#include "remote/key_button.h"
#include "remote/key_pictures.h"
#include "remote/key_table.h"
#include "remote/remote_key.h"
#include "ui/program.h"
#include "ui/ui_support.h"

namespace talvo {
namespace {

struct GroupLayout {
    KeyGroup group;
    const char* object_name;
    QString caption;
    QRect geometry;
    QColor background;
    QString description;
};

struct KeyboardKey {
    int key;  // Qt::Key
    int button;
    const char* name;  // as the button's description names it
};

// The cross of the pad under the arrow keys, its centre under Return and Enter.
const KeyboardKey kKeyboardKeys[] = {
    {Qt::Key_Up, 21, "↑"},   {Qt::Key_Left, 24, "←"},       {Qt::Key_Right, 25, "→"},
    {Qt::Key_Down, 23, "↓"}, {Qt::Key_Return, 22, "Enter"}, {Qt::Key_Enter, 22, "Enter"},
};

int ButtonOfKeyboardKey(int key) {
    for (const KeyboardKey& k : kKeyboardKeys)
        if (k.key == key) return k.button;
    return 0;
}

const char* KeyboardKeyOf(int button) {
    for (const KeyboardKey& k : kKeyboardKeys)
        if (k.button == button) return k.name;
    return nullptr;
}

const QColor kGroupColour(110, 122, 153);

const GroupLayout kGroups[] = {
    {KeyGroup::ModeSelect, "Frame1", QStringLiteral("モードセレクト"), QRect(112, 56, 103, 41),
     kGroupColour, QStringLiteral("モードセレクトのキー")},
    {KeyGroup::Brightness, "Frame2", QString(), QRect(112, 480, 57, 81), kGroupColour,
     QStringLiteral("明るさのキー")},
    {KeyGroup::Cross, "Frame3", QString(), QRect(3, 136, 217, 169), QColor(215, 215, 204),
     QStringLiteral("十字キー")},
    {KeyGroup::Overscan, "Frame4", QString(), QRect(48, 480, 57, 81), kGroupColour,
     QStringLiteral("オーバースキャンのキー")},
    {KeyGroup::Home, "Frame5", QStringLiteral("ホーム"), QRect(0, 320, 169, 41), kGroupColour,
     QStringLiteral("ホームのキー")},
};

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, Qt::white);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

Form2::Form2(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("TALVO-4\u3000リモコン"));
    Describe(this, windowTitle(), QStringLiteral("TALVO-4 のリモコン"));
    setFixedSize(224, 579);
    Paint(this, QColor(100, 106, 149));
    auto* background = new QLabel(this);
    background->setObjectName(QStringLiteral("Picture1"));
    background->setGeometry(0, 0, 225, 579);
    background->setPixmap(DrawRemoteBackground());
    Describe(background, QStringLiteral("背景"), QStringLiteral("リモコンの背景"));
    buildGroups();
    buildButtons();
}

void Form2::buildGroups() {
    for (const GroupLayout& layout : kGroups) {
        auto* group = new QGroupBox(layout.caption, this);
        group->setObjectName(QString::fromLatin1(layout.object_name));
        group->setGeometry(layout.geometry);
        group->setFont(UiFont(9));
        Paint(group, layout.background);
        Describe(group, layout.caption.isEmpty() ? layout.description : layout.caption,
                 layout.description);
    }
    auto add_label = [this](const char* name, const QString& text, const char* group_name,
                            QPoint at) {
        auto* group = findChild<QGroupBox*>(QString::fromLatin1(group_name));
        auto* label = new QLabel(text, group);
        label->setObjectName(QString::fromLatin1(name));
        label->setFont(UiFont(7));
        // Long captions wrap inside the group rather than run past its edge.
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        label->setGeometry(QRect(at - group->pos(), QSize(41, 24)));
        Describe(label, text, text);
    };
    add_label("Label1", QStringLiteral("明るさ"), "Frame2", QPoint(120, 517));
    add_label("Label2", QStringLiteral("オーバースキャン"), "Frame4", QPoint(56, 512));
}

void Form2::buildButtons() {
    QMap<KeyGroup, QWidget*> groups;
    for (const GroupLayout& layout : kGroups)
        groups[layout.group] = findChild<QGroupBox*>(QString::fromLatin1(layout.object_name));

#define TALVO_BIND_REMOTE_BUTTON(n)                                 \
    Command##n = new KeyButton(RemoteKeyOfButton(n).value(), this); \
    QObject::connect(Command##n, &QPushButton::clicked, this, &Form2::Command##n##_Click);
    TALVO_REMOTE_BUTTONS(TALVO_BIND_REMOTE_BUTTON)
#undef TALVO_BIND_REMOTE_BUTTON

    for (const RemoteKey& key : kRemoteKeys) {
        QPushButton* b = button(key.number);
        QWidget* parent =
            key.group == KeyGroup::None ? static_cast<QWidget*>(this) : groups[key.group];
        b->setParent(parent);
        b->setObjectName(QStringLiteral("Command%1").arg(key.number));
        const QPoint origin = parent == this ? QPoint() : parent->pos();
        b->setGeometry(QRect(QPoint(key.x, key.y) - origin, QSize(key.width, key.height)));
        b->setFocusPolicy(Qt::TabFocus);
        QString description =
            QStringLiteral("キーコード 0x%1 を送る")
                .arg(QString::number(key.code, 16).toUpper().rightJustified(2, u'0'));
        if (const char* keyboard_key = KeyboardKeyOf(key.number))
            description +=
                QStringLiteral("（キーボードの %1 キー）").arg(QString::fromUtf8(keyboard_key));
        Describe(b, QString::fromUtf8(key.description), description);
        // The arrows and Enter reach the pad from whichever button has the focus.
        b->installEventFilter(this);
        b->show();
    }
}

QPushButton* Form2::button(int number) const {
    switch (number) {
#define TALVO_REMOTE_BUTTON_CASE(n) \
    case n:                         \
        return Command##n;
        TALVO_REMOTE_BUTTONS(TALVO_REMOTE_BUTTON_CASE)
#undef TALVO_REMOTE_BUTTON_CASE
        default:
            return nullptr;
    }
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)
        if (keyboardKey(static_cast<QKeyEvent*>(event))) return true;
    return QWidget::eventFilter(watched, event);
}

void Form2::keyPressEvent(QKeyEvent* event) {
    if (!keyboardKey(event)) QWidget::keyPressEvent(event);
}

void Form2::keyReleaseEvent(QKeyEvent* event) {
    if (!keyboardKey(event)) QWidget::keyReleaseEvent(event);
}

void Form2::changeEvent(QEvent* event) {
    // A key let go in another window never comes back here as a release.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) releaseKeyboardKeys();
    QWidget::changeEvent(event);
}

void Form2::hideEvent(QHideEvent* event) {
    releaseKeyboardKeys();
    QWidget::hideEvent(event);
}

bool Form2::keyboardKey(QKeyEvent* event) {
    const int key = event->key();
    if (event->type() == QEvent::KeyRelease) {
        if (event->isAutoRepeat()) return held_.contains(key);
        QPushButton* held = held_.take(key);
        if (!held) return false;
        last_release_ = {key, event->timestamp()};
        // Let the button up only after the events already queued: a repeat's
        // press follows its release at once, and the button should not flicker.
        QTimer::singleShot(0, held, [this, held] {
            // Return and Enter both hold the centre: it comes up with the last of them.
            if (!held_.values().contains(held)) held->setDown(false);
        });
        return true;
    }
    if (event->modifiers() & ~Qt::KeypadModifier) return false;
    QPushButton* pressed = button(ButtonOfKeyboardKey(key));
    if (!pressed) return false;
    // A held key repeats; the pad does not. A press of a key still held
    // (its release went astray) does not send again either.
    if (event->isAutoRepeat() || held_.contains(key)) return true;
    // X11 may hand a held key's repeats over as releases and presses that
    // are not marked as repeats; they share the time stamp of the release,
    // which no two presses of a hand do.
    const bool repeat = event->timestamp() != 0 && key == last_release_.key &&
                        event->timestamp() == last_release_.timestamp;
    held_.insert(key, pressed);
    if (!repeat) pressed->click();
    pressed->setDown(true);
    return true;
}

void Form2::releaseKeyboardKeys() {
    for (QPushButton* held : std::as_const(held_)) held->setDown(false);
    held_.clear();
}

void Form2::sendKey(int button_number) {
    if (const auto key = RemoteKeyOfButton(button_number)) SendRemoteKey(program_.link, key->code);
}

}  // namespace talvo
