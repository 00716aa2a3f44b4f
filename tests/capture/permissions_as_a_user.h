#pragma once
// Lets a test see file and folder permissions as an ordinary user does, also
// when it runs as root (as CI does): while the object lives, this thread's
// capabilities to override file permissions are lowered from its effective
// set, and raised again afterwards.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>

namespace talvo::testing {

class PermissionsAsAUser {
  public:
    PermissionsAsAUser() {
        if (geteuid() != 0) {
            in_effect_ = true;
            return;
        }
        if (syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        if (syscall(SYS_capset, &header_, lowered) != 0) return;
        lowered_ = in_effect_ = true;
    }
    ~PermissionsAsAUser() {
        if (lowered_) syscall(SYS_capset, &header_, saved_);
    }
    PermissionsAsAUser(const PermissionsAsAUser&) = delete;
    PermissionsAsAUser& operator=(const PermissionsAsAUser&) = delete;

    bool inEffect() const { return in_effect_; }

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
    bool in_effect_ = false;
};

// True when no new file can be made in `folder` (the probe is removed again
// should it succeed).
inline bool TakesNoNewFiles(const QString& folder) {
    QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
    if (!probe.open(QIODevice::WriteOnly)) return true;
    probe.remove();
    return false;
}

}  // namespace talvo::testing
