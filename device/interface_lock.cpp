#include "device/interface_lock.h"

namespace talvo {

std::string InUseText(const LockHolder& holder) {
    std::string text = "in use by ";
    text += holder.program.empty() ? "another program" : holder.program;
    if (holder.pid > 0) text += " (pid " + std::to_string(holder.pid) + ")";
    return text;
}

}  // namespace talvo
