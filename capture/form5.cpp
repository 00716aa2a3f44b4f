#include "capture/form5.h"

#include "app/program.h"

namespace talvo {

Form5::Form5(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("TALVO-4 Capture Tool"));
}

}  // namespace talvo
