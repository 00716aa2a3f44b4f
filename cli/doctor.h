#pragma once
// talvo4ctl doctor: what stands between this user and the TALVO-4, checked
// in order, one line per check with the one step that fixes what fails.

#include <QString>
#include <QStringList>

namespace talvo::cli {

class Session;
struct Context;

// Where the checks look. The tests point them at folders of their own.
struct DoctorPlaces {
    QString hidraw_class = QStringLiteral("/sys/class/hidraw");
    // Where udev reads rules from.
    QStringList rule_folders = {
        QStringLiteral("/etc/udev/rules.d"), QStringLiteral("/run/udev/rules.d"),
        QStringLiteral("/usr/local/lib/udev/rules.d"), QStringLiteral("/usr/lib/udev/rules.d"),
        QStringLiteral("/lib/udev/rules.d")};
    // udev's database: which tags it gave each device node.
    QString udev_data = QStringLiteral("/run/udev/data");
    // The seat of this login session (XDG_SEAT); empty where there is none.
    QString seat;
    // DISPLAY or WAYLAND_DISPLAY, whichever is set; empty where neither is.
    QString display;

    // This system's places and this session's environment.
    static DoctorPlaces OfThisSystem();
};

// Runs every check, printing one line each (or one object with --json).
// Returns 0 when the TALVO-4 can be used, else the exit status of the
// first failed check.
int RunDoctor(Session& session, Context& context, const DoctorPlaces& places);

}  // namespace talvo::cli
