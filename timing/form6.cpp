#include "timing/form6.h"

#include "app/program.h"

namespace talvo {

Form6::Form6(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("入出力映像信号調整"));
}

}  // namespace talvo
