#pragma once
// A key of the on-screen remote. It paints its picture itself so that the
// picture is drawn at the resolution of the screen it is on, and so that it
// shows itself pressed whenever it is down: held by the mouse, by Space, or
// by a key of the keyboard the window maps onto it.

#include <QPixmap>
#include <QPushButton>

#include "remote/key_table.h"

namespace talvo {

class KeyButton : public QPushButton {
    Q_OBJECT
  public:
    KeyButton(const RemoteKey& key, QWidget* parent);

    const RemoteKey& key() const { return key_; }
    // The picture the button paints in its present state, drawn at its
    // present device pixel ratio.
    QPixmap picture() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    RemoteKey key_;
    // Drawn on first use and again when the screen's ratio changes.
    mutable QPixmap up_;
    mutable QPixmap down_;
};

}  // namespace talvo
