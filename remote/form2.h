#pragma once
// The on-screen remote control: 32 picture buttons, each sending one key code.
// With the window active, the arrow keys press the cross and Return or Enter
// its centre, once a press however long the key is held.

#include <QHash>
#include <QWidget>

#include "remote/key_table.h"

class QPushButton;

namespace talvo {

struct Program;

class Form2 : public QWidget {
    Q_OBJECT
  public:
    explicit Form2(Program& program);

#define TALVO_DECLARE_REMOTE_BUTTON(n) \
    QPushButton* Command##n = nullptr; \
    void Command##n##_Click() { sendKey(n); }
    TALVO_REMOTE_BUTTONS(TALVO_DECLARE_REMOTE_BUTTON)
#undef TALVO_DECLARE_REMOTE_BUTTON

    // The button CommandN, or nullptr for a number the pad does not have.
    QPushButton* button(int number) const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void sendKey(int button_number);
    // True when the event is a key of the pad's and has been dealt with.
    bool keyboardKey(QKeyEvent* event);
    void releaseKeyboardKeys();
    void buildGroups();
    void buildButtons();

    Program& program_;
    // The keyboard keys held now, and the button each holds down.
    QHash<int, QPushButton*> held_;
    struct Release {
        int key = 0;
        quint64 timestamp = 0;
    } last_release_;
};

}  // namespace talvo
