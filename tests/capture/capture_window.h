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
#include <chrono>
#include <vector>

#include "capture/form5.h"
#include "tests/support/rig.h"

namespace talvo::testing {

// A capture or a "REC" wait that runs past this has gone wrong: the test
// fails by name, and the window is made to end what it does (the capture
// stops after its line in hand, a tick wait gets its ticks) so that the
// test program goes on with its next test.
inline constexpr int kCaptureWindowBoundMs = 30000;

inline Form5* OpenCaptureWindow(Rig& rig) {
    rig.main().Command3_Click();
    Form5* window = rig.main().captureWindow();
    if (!window) return nullptr;
    auto* watchdog = new QTimer(window);
    watchdog->setSingleShot(true);
    QObject::connect(watchdog, &QTimer::timeout, window, [window, &rig] {
        QTest::qFail("the capture window ran past its bound", __FILE__, __LINE__);
        window->Command3_Click();
        rig.program.capture_ticks.TickCounter = 4095;
    });
    watchdog->start(kCaptureWindowBoundMs);
    return window;
}

// The last command the device received; all zeros when it received none.
inline CommandArray LastCommand(const Rig& rig) {
    const std::vector<CommandArray> sent = rig.talvo.commands();
    return sent.empty() ? CommandArray{} : sent.back();
}

// frame_buffer holds exactly the pixels its sizes describe, so that a test
// may index it by them.
inline bool FrameMatchesSizes(const CaptureState& c) {
    return c.frame_width > 0 && c.frame_height > 0 &&
           c.frame_buffer.size() == size_t(c.frame_width) * size_t(c.frame_height) * 3;
}

// frame_buffer as it must hold the simulated picture from first_line up to
// end_line: blue, green, red, and black from the source width on.
inline bool HoldsPattern(const Rig& rig, int first_line, int end_line) {
    const CaptureState& c = rig.program.capture;
    if (!FrameMatchesSizes(c) || first_line < 0 || end_line > c.frame_height) return false;
    for (int y = first_line; y < end_line; ++y)
        for (int x = 0; x < c.frame_width; ++x) {
            const uint8_t* p = &c.frame_buffer[(size_t(y) * c.frame_width + x) * 3];
            const sim::PatternPixel want =
                x < c.source_width ? rig.talvo.capture.pattern(x, y) : sim::PatternPixel{};
            if (p[0] != want.blue || p[1] != want.green || p[2] != want.red) return false;
        }
    return true;
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
