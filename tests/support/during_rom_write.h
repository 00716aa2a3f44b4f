#pragma once
// A ROM write through the main window's hidden Command10, with something the
// user does while it holds the device.

#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "tests/support/rig.h"

namespace talvo::testing {

// Writes a small file into the simulated TALVO-4's ROM and calls `during`
// from the wait after its first report, while the write holds the device.
// Returns when the write has ended; false when its file could not be made.
inline bool WriteRomDuring(Rig& rig, const std::function<void()>& during) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("rom.bin"));
    if (!WriteFile(path, QByteArray(64, '\x5A'))) return false;
    DriveTicksByDevice(rig.program.ticks, rig.talvo);
    rig.dialogs.answers.push_back(path);
    const auto before = rig.talvo.on_report;
    bool asked = false;
    rig.talvo.on_report = [&](const sim::RecordedReport& report) {
        if (before) before(report);
        if (asked) return;
        asked = true;
        QTimer::singleShot(0, &rig.main(), during);
    };
    rig.main().Command10_Click();
    rig.talvo.on_report = before;
    return true;
}

}  // namespace talvo::testing
