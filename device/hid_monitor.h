#pragma once
// Word from the system that a HID interface came or went. A front end with an
// event loop watches descriptor() and calls take() once it is readable; one
// without waits on it with poll(). Nothing here runs a timer or a thread.

#include <string>
#include <vector>

namespace talvo {

struct HidChange {
    // Arrived also for a node the system set up anew (its permissions, say).
    enum class Kind { Arrived, Left };
    Kind kind = Kind::Arrived;
    std::string path;  // the interface's path, as HidPlatform::enumerate() names it
};

class HidMonitor {
  public:
    virtual ~HidMonitor() = default;
    // Readable while changes wait to be taken.
    virtual int descriptor() const = 0;
    // The changes that wait, oldest first; never blocks.
    virtual std::vector<HidChange> take() = 0;
};

}  // namespace talvo
