#pragma once
// USB HID interfaces mocked in sysfs and /dev with umockdev, deep enough for
// the real libhidapi-hidraw: USB device, interface, HID device (identifiers in
// its uevent, report descriptor in sysfs) and a hidraw node. The node answers
// hidraw's descriptor ioctls; opens and writes are recorded, open handles
// counted, and input can be fed to the node as a byte stream.

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <span>
#include <string>
#include <vector>

struct _UMockdevTestbed;
struct _UMockdevIoctlBase;

namespace talvo::testing {

struct MockInterface {
    std::string usb_name;     // USB device name; the enumeration order follows it
    std::string hidraw_node;  // e.g. "hidraw0"
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint16_t release = 0;
    std::vector<uint8_t> descriptor;  // empty: no report descriptor in sysfs
    std::string serial{};             // the USB device's serial number; empty: none
};

// A TALVO-4 interface (its identifiers and the simulated device's report
// descriptor) on the USB device `usb_name`, with the node `hidraw_node`.
MockInterface MockTalvo(const std::string& usb_name, const std::string& hidraw_node,
                        const std::string& serial = {});

class MockHidraw {
  public:
    MockHidraw();
    ~MockHidraw();
    MockHidraw(const MockHidraw&) = delete;
    MockHidraw& operator=(const MockHidraw&) = delete;

    // True when the umockdev preload library is active in this process.
    static bool available();

    // Returns the node's path, "/dev/<hidraw_node>". Whoever listens to
    // uevents hears of the node's arrival.
    std::string add(const MockInterface& interface);

    // How often the program opened the node, and how many of its handles on
    // it are open now.
    int opens(const std::string& node) const;
    int openHandles(const std::string& node) const;
    std::vector<std::vector<uint8_t>> writes(const std::string& node) const;
    // Takes every permission off the node, as a node without the udev rule
    // has for a normal user. Root passes over file permissions: see
    // tests/support/no_override.h.
    bool denyAccess(const std::string& node);

    // Queues bytes for the program's next reads of the node.
    bool feed(const std::string& node, std::span<const uint8_t> bytes);
    // Answers the program's next writes to the node, one entry each (one
    // or more input reports), as the device does once a command came;
    // a write with no entry left gets no answer.
    void answerWrites(const std::string& node, std::vector<std::vector<uint8_t>> answers);
    // The program's next writes to the node fail, each with the next of
    // `errors` as errno; failed writes are not recorded.
    void failWrites(const std::string& node, std::vector<int> errors);
    // Hangs the node up under the program's open handles, as unplugging
    // the device does: their reads fail from now on.
    bool unplug(const std::string& node);
    // Pulls the device out: the listeners hear of it, it leaves sysfs and
    // /dev, and its node hangs up under the program's open handles. It can
    // be added again.
    void pullOut(const std::string& node);

    // Called from umockdev's worker thread.
    void recordOpen(const std::string& node);
    void recordWrite(const std::string& node, std::vector<uint8_t> bytes);
    // The errno the next write fails with, 0 for one that goes through.
    int takeWriteFailure(const std::string& node);
    std::vector<uint8_t> descriptorOf(const std::string& node) const;

  private:
    std::string ptyOf(const std::string& node) const;

    struct NodeRecord {
        std::vector<std::string> syspaths;  // the node's first, its USB device's last
        std::string terminal;               // the PTY behind the node
        std::deque<std::vector<uint8_t>> answers;
        int opens = 0;
        std::vector<std::vector<uint8_t>> writes;
        std::deque<int> write_failures;
        std::vector<uint8_t> descriptor;
    };

    _UMockdevTestbed* testbed_;
    std::vector<_UMockdevIoctlBase*> handlers_;
    mutable std::mutex mutex_;
    std::map<std::string, NodeRecord> nodes_;
    std::map<std::string, int> baseline_;
};

}  // namespace talvo::testing
