#include "device/report_descriptor.h"

namespace talvo {

std::optional<ParsedDescriptor> parseReportDescriptor(std::span<const uint8_t>) {
    return std::nullopt;
}

HidCaps longestReportLengths(const ParsedDescriptor& parsed) {
    HidCaps longest;
    for (const auto& c : parsed.collections) {
        longest.InputReportByteLength =
            std::max(longest.InputReportByteLength, c.caps.InputReportByteLength);
        longest.OutputReportByteLength =
            std::max(longest.OutputReportByteLength, c.caps.OutputReportByteLength);
        longest.FeatureReportByteLength =
            std::max(longest.FeatureReportByteLength, c.caps.FeatureReportByteLength);
    }
    return longest;
}

}  // namespace talvo
