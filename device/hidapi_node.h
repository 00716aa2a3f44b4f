#pragma once
// What hidapi leaves to the system: the node behind a path, asked directly.
// Each system has its own file of these (hidapi_platform_linux.cpp).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/hid_platform.h"

namespace talvo::hidapi_node {

// The report descriptor of the node at `path`, for a hidapi too old to hand
// it over; none where the system keeps it nowhere readable.
std::optional<std::vector<uint8_t>> ReadDescriptor(const std::string& path);

// Why the node at `path` cannot be opened, if it cannot.
OpenRefusal ProbeOpen(const std::string& path);

// The USB port path and serial number of the device behind `path`; empty
// where the system does not say.
void AddUsbAddress(HidInterfaceInfo& info);

// Nodes as they come and go; nullptr where the system offers no such word.
std::unique_ptr<HidMonitor> OpenMonitor();

}  // namespace talvo::hidapi_node
