#pragma once
// What the tool and the demo share at start-up.

#include <QApplication>

namespace talvo {

// Application-wide font and identity, set before any window is made.
void PrepareApplication(QApplication& app);

}  // namespace talvo
