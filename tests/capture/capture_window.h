#pragma once
// Helpers shared by the capture window's tests.

#include <QAbstractButton>
#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <vector>

#include "capture/form5.h"
#include "tests/support/rig.h"

namespace talvo::testing {

inline Form5* OpenCaptureWindow(Rig& rig) {
    rig.main().Command3_Click();
    return rig.main().captureWindow();
}

// Commands with the given code, in the order they went out.
inline std::vector<CommandArray> CommandsWithCode(const Rig& rig, uint8_t code) {
    std::vector<CommandArray> found;
    for (const CommandArray& command : rig.talvo.commands())
        if (command[0] == code) found.push_back(command);
    return found;
}

// The names of the window's enabled buttons among REC, the picture buttons,
// the show buttons and "再生".
inline QStringList EnabledButtons(const Form5& form) {
    QStringList names;
    for (int n = 1; n <= 10; ++n) {
        auto* button = form.findChild<QAbstractButton*>(QStringLiteral("Command%1").arg(n));
        if (button && button->isEnabled()) names << button->objectName();
    }
    return names;
}

inline QString StatusText(const Form5& form) { return form.Text1->toPlainText(); }

// Every text the window shows encodes in code page 932.
inline bool ShowsOnlyCp932(const QWidget& window) {
    for (const QString& text : ShownTexts(&window))
        if (!EncodesInCp932(text)) return false;
    return true;
}

}  // namespace talvo::testing
