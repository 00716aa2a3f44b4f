// Kept free of Qt: glib's headers and Qt's keyword macros do not mix.
#include "tests/device/mock_hidraw.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <utility>

#include "device/device_link.h"
#include "sim/talvo_model.h"

namespace talvo::testing {

MockInterface MockTalvo(const std::string& usb_name, const std::string& hidraw_node,
                        const std::string& serial) {
    const auto descriptor = sim::TalvoReportDescriptor();
    return {usb_name,        hidraw_node, kTalvoVendorId,
            kTalvoProductId, 0x0100,      {descriptor.begin(), descriptor.end()},
            serial};
}

namespace {

struct HandlerContext {
    MockHidraw* bed;
    std::string node;
};

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ::toupper);
    return text;
}

void OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, gpointer data) {
    auto* context = static_cast<HandlerContext*>(data);
    context->bed->recordOpen(context->node);
}

gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* context = static_cast<HandlerContext*>(data);
    if (const int error = context->bed->takeWriteFailure(context->node)) {
        umockdev_ioctl_client_complete(client, -1, error);
        return TRUE;
    }
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    const auto length = size_t(std::max(buffer->data_len, 0));
    context->bed->recordWrite(context->node,
                              std::vector<uint8_t>(buffer->data, buffer->data + length));
    umockdev_ioctl_client_complete(client, glong(length), 0);
    return TRUE;
}

// What a hidraw node answers about its report descriptor; hidapi asks for the
// size when it opens a node, to make sure it is a hidraw node at all.
gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer data) {
    auto* context = static_cast<HandlerContext*>(data);
    const std::vector<uint8_t> descriptor = context->bed->descriptorOf(context->node);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const gulong request = umockdev_ioctl_client_get_request(client);
    if (request == HIDIOCGRDESCSIZE) {
        UMockdevIoctlData* size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
        if (!size) return FALSE;
        const int value = int(descriptor.size());
        std::memcpy(size->data, &value, sizeof value);
        g_object_unref(size);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    if (request == HIDIOCGRDESC) {
        UMockdevIoctlData* target =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(hidraw_report_descriptor), nullptr);
        if (!target) return FALSE;
        hidraw_report_descriptor answer{};
        answer.size = uint32_t(std::min(descriptor.size(), sizeof answer.value));
        std::copy_n(descriptor.begin(), answer.size, answer.value);
        std::memcpy(target->data, &answer, sizeof answer);
        g_object_unref(target);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    return FALSE;
}

void FreeContext(gpointer data, GClosure*) { delete static_cast<HandlerContext*>(data); }

void Connect(UMockdevIoctlBase* handler, const char* signal, GCallback callback,
             HandlerContext* context, bool owns) {
    g_signal_connect_data(handler, signal, callback, context, owns ? FreeContext : nullptr,
                          GConnectFlags(0));
}

}  // namespace

MockHidraw::MockHidraw() : testbed_(umockdev_testbed_new()) {}

MockHidraw::~MockHidraw() {
    for (UMockdevIoctlBase* handler : handlers_) g_object_unref(handler);
    g_object_unref(testbed_);
}

bool MockHidraw::available() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload && std::strstr(preload, "libumockdev-preload");
}

std::string MockHidraw::add(const MockInterface& interface) {
    const std::string vendor = Hex4(interface.vendor);
    const std::string product = Hex4(interface.product);
    gchar* usb = umockdev_testbed_add_device(
        testbed_, "usb", interface.usb_name.c_str(), nullptr, "idVendor", vendor.c_str(),
        "idProduct", product.c_str(), "bcdDevice", Hex4(interface.release).c_str(), "manufacturer",
        "Mock", "product", "Mock HID", nullptr, "DEVTYPE", "usb_device", nullptr);
    if (!interface.serial.empty())
        umockdev_testbed_set_attribute(testbed_, usb, "serial", interface.serial.c_str());
    const std::string interface_name = interface.usb_name + ":1.0";
    gchar* usb_interface = umockdev_testbed_add_device(testbed_, "usb", interface_name.c_str(), usb,
                                                       "bInterfaceNumber", "00", nullptr, "DEVTYPE",
                                                       "usb_interface", nullptr);
    const std::string hid_name =
        "0003:" + Upper(vendor) + ":" + Upper(product) + "." + Hex4(uint16_t(handlers_.size() + 1));
    const std::string hid_id = "0003:0000" + Upper(vendor) + ":0000" + Upper(product);
    gchar* hid = umockdev_testbed_add_device(testbed_, "hid", hid_name.c_str(), usb_interface,
                                             nullptr, "HID_ID", hid_id.c_str(), "HID_NAME",
                                             "Mock HID", "HID_UNIQ", "", nullptr);
    if (!interface.descriptor.empty()) {
        std::vector<uint8_t> bytes = interface.descriptor;
        umockdev_testbed_set_attribute_binary(testbed_, hid, "report_descriptor", bytes.data(),
                                              gint(bytes.size()));
    }

    // A node described this way is backed by a PTY, so the test can feed it.
    const std::string node = "/dev/" + interface.hidraw_node;
    const std::string record =
        std::string("P: ") + (hid + std::strlen("/sys")) + "/hidraw/" + interface.hidraw_node +
        "\nN: " + interface.hidraw_node + "\nE: DEVNAME=" + node +
        "\nE: SUBSYSTEM=hidraw\nA: dev=243:" + std::to_string(handlers_.size()) +
        "\nL: device=../../../" + hid_name + "\n";
    {
        std::lock_guard lock(mutex_);
        nodes_[node].descriptor = interface.descriptor;
        nodes_[node].syspaths = {std::string(hid) + "/hidraw/" + interface.hidraw_node, hid,
                                 usb_interface, usb};
    }
    g_free(usb);
    g_free(usb_interface);
    g_free(hid);

    // The node answers before it is announced: a program that hears of it
    // opens it at once, as it may once udev has set a real node up.
    UMockdevIoctlBase* handler = umockdev_ioctl_base_new();
    auto* context = new HandlerContext{this, node};
    Connect(handler, "client-connected", G_CALLBACK(OnConnected), context, true);
    Connect(handler, "handle-ioctl", G_CALLBACK(OnIoctl), context, false);
    Connect(handler, "handle-write", G_CALLBACK(OnWrite), context, false);
    umockdev_testbed_attach_ioctl(testbed_, node.c_str(), handler, nullptr);
    umockdev_testbed_add_from_string(testbed_, record.c_str(), nullptr);
    handlers_.push_back(handler);
    // umockdev may hold the PTY's own end open; only the program's count.
    baseline_[node] = 0;
    baseline_[node] = openHandles(node);
    const std::string terminal = ptyOf(node);
    std::lock_guard lock(mutex_);
    nodes_[node].terminal = terminal;
    return node;
}

int MockHidraw::opens(const std::string& node) const {
    std::lock_guard lock(mutex_);
    const auto it = nodes_.find(node);
    return it == nodes_.end() ? 0 : it->second.opens;
}

std::string MockHidraw::ptyOf(const std::string& node) const {
    {
        // Known still once the node has gone.
        std::lock_guard lock(mutex_);
        const auto it = nodes_.find(node);
        if (it != nodes_.end() && !it->second.terminal.empty()) return it->second.terminal;
    }
    std::error_code error;
    const auto target = std::filesystem::read_symlink(
        std::string(umockdev_testbed_get_root_dir(testbed_)) + node, error);
    return error ? std::string() : target.string();
}

int MockHidraw::openHandles(const std::string& node) const {
    const std::string terminal = ptyOf(node);
    if (terminal.empty()) return -1;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto target = std::filesystem::read_symlink(entry.path(), error);
        if (!error && target == terminal) ++count;
    }
    return count - baseline_.at(node);
}

std::vector<std::vector<uint8_t>> MockHidraw::writes(const std::string& node) const {
    std::lock_guard lock(mutex_);
    const auto it = nodes_.find(node);
    return it == nodes_.end() ? std::vector<std::vector<uint8_t>>{} : it->second.writes;
}

bool MockHidraw::denyAccess(const std::string& node) {
    const std::string terminal = ptyOf(node);
    return !terminal.empty() && chmod(terminal.c_str(), 0) == 0;
}

bool MockHidraw::feed(const std::string& node, std::span<const uint8_t> bytes) {
    const int fd = umockdev_testbed_get_dev_fd(testbed_, node.c_str());
    return fd >= 0 && write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size());
}

bool MockHidraw::unplug(const std::string& node) {
    // The node is the far end of a PTY whose near end the testbed keeps;
    // closing that end hangs the node up. dup2 closes it and leaves the
    // descriptor number to /dev/null, so the testbed's own close later
    // cannot hit a descriptor someone else has since opened.
    const int fd = umockdev_testbed_get_dev_fd(testbed_, node.c_str());
    const int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    const bool hung_up = fd >= 0 && null >= 0 && dup2(null, fd) == fd;
    if (null >= 0) close(null);
    return hung_up;
}

void MockHidraw::pullOut(const std::string& node) {
    std::vector<std::string> syspaths;
    {
        std::lock_guard lock(mutex_);
        syspaths = std::exchange(nodes_[node].syspaths, {});
    }
    if (syspaths.empty()) return;
    umockdev_testbed_uevent(testbed_, syspaths.front().c_str(), "remove");
    // Removing the node closes the testbed's end of its PTY: that hangs it up.
    for (const std::string& syspath : syspaths)
        umockdev_testbed_remove_device(testbed_, syspath.c_str());
    baseline_[node] = 0;
}

void MockHidraw::recordOpen(const std::string& node) {
    std::lock_guard lock(mutex_);
    ++nodes_[node].opens;
}

void MockHidraw::recordWrite(const std::string& node, std::vector<uint8_t> bytes) {
    std::vector<uint8_t> answer;
    {
        std::lock_guard lock(mutex_);
        NodeRecord& record = nodes_[node];
        record.writes.push_back(std::move(bytes));
        if (record.answers.empty()) return;
        answer = std::move(record.answers.front());
        record.answers.pop_front();
    }
    // Before the write completes: the program reads only after it.
    feed(node, answer);
}

void MockHidraw::answerWrites(const std::string& node, std::vector<std::vector<uint8_t>> answers) {
    std::lock_guard lock(mutex_);
    auto& queue = nodes_[node].answers;
    for (auto& answer : answers) queue.push_back(std::move(answer));
}

void MockHidraw::failWrites(const std::string& node, std::vector<int> errors) {
    std::lock_guard lock(mutex_);
    auto& failures = nodes_[node].write_failures;
    failures.insert(failures.end(), errors.begin(), errors.end());
}

int MockHidraw::takeWriteFailure(const std::string& node) {
    std::lock_guard lock(mutex_);
    auto& failures = nodes_[node].write_failures;
    if (failures.empty()) return 0;
    const int error = failures.front();
    failures.pop_front();
    return error;
}

std::vector<uint8_t> MockHidraw::descriptorOf(const std::string& node) const {
    std::lock_guard lock(mutex_);
    const auto it = nodes_.find(node);
    return it == nodes_.end() ? std::vector<uint8_t>{} : it->second.descriptor;
}

}  // namespace talvo::testing
