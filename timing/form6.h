#pragma once
// The video timing adjustment window.

#include <QWidget>

namespace talvo {

struct Program;

class Form6 : public QWidget {
    Q_OBJECT
public:
    explicit Form6(Program& program);

private:
    Program& program_;
};

}  // namespace talvo
