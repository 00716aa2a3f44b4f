#pragma once
// Parser for USB HID report descriptors: report lengths the way Windows
// states them (per top-level collection: for each report kind the longest
// report, in bytes, plus one byte for the report ID).

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "device/hid_platform.h"

namespace talvo {

struct CollectionReportLengths {
    uint16_t usage_page = 0;
    uint16_t usage = 0;
    HidCaps caps;
};

struct ParsedDescriptor {
    std::vector<CollectionReportLengths> collections;  // top-level collections in order
    bool uses_report_ids = false;
};

// nullopt for a malformed descriptor; never reads past `descriptor`.
std::optional<ParsedDescriptor> ParseReportDescriptor(std::span<const uint8_t> descriptor);

// For an interface that carries several top-level collections (as one Linux
// hidraw node does): the longest length of each kind over all of them.
HidCaps LongestReportLengths(const ParsedDescriptor& parsed);

}  // namespace talvo
