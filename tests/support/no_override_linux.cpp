#include "tests/support/no_override.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <initializer_list>

namespace talvo::testing {
namespace {

// The C library offers no wrapper without libcap; the two calls are plain
// system calls on the calling thread.
bool CapGet(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capget, &header, data) == 0;
}

bool CapSet(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return syscall(SYS_capset, &header, data) == 0;
}

constexpr unsigned Bit(int capability) { return 1u << (capability % 32); }
constexpr int Word(int capability) { return capability / 32; }

}  // namespace

NoOverride::NoOverride() {
    __user_cap_data_struct data[2]{};
    if (!CapGet(data)) return;
    effective_[0] = data[0].effective;
    effective_[1] = data[1].effective;
    for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[Word(capability)].effective &= ~Bit(capability);
    // Only the effective set shrinks; the permitted set keeps them, so that
    // the destructor can take them back.
    if (data[0].effective == effective_[0] && data[1].effective == effective_[1]) {
        ok_ = true;  // nothing to drop: an ordinary user already
        return;
    }
    ok_ = CapSet(data);
    changed_ = ok_;
}

NoOverride::~NoOverride() {
    if (!changed_) return;
    __user_cap_data_struct data[2]{};
    if (!CapGet(data)) return;
    data[0].effective = effective_[0];
    data[1].effective = effective_[1];
    CapSet(data);
}

bool TakesNoNewFiles(const QString& folder) {
    QFile probe(QDir(folder).filePath(QStringLiteral("probe")));
    if (!probe.open(QIODevice::WriteOnly)) return true;
    probe.remove();
    return false;
}

}  // namespace talvo::testing
