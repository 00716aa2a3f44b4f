#pragma once
// The capture window.

#include <QWidget>

namespace talvo {

struct Program;

class Form5 : public QWidget {
    Q_OBJECT
public:
    explicit Form5(Program& program);

private:
    Program& program_;
};

}  // namespace talvo
