#pragma once
// Lets the text caret stop blinking once the user has left the tool alone,
// as the desktops do: a blinking caret repaints its text box twice a second
// and would wake an idle tool for ever. Any key or mouse press brings the
// blinking back.

#include <QObject>
#include <QTimer>

namespace talvo {

class CaretBlinkTimeout : public QObject {
  public:
    static constexpr int kTimeoutMs = 10000;

    explicit CaretBlinkTimeout(QObject* parent);
    bool blinking() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void setBlinking(bool on);

    int flash_time_ms_;
    QTimer timeout_;
};

}  // namespace talvo
