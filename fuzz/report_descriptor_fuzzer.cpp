// Feeds arbitrary bytes to the report-descriptor parser. Besides the
// sanitizers' checks, a parse that succeeds must give lengths that agree
// with each other.

#include <cstdint>
#include <cstdlib>

#include "device/report_descriptor.h"

namespace {

// 0 means no report of that kind; otherwise at least the ID byte and one byte.
void CheckLength(uint16_t length, uint16_t longest) {
    if (length == 1 || length > longest) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto parsed = talvo::ParseReportDescriptor({data, size});
    if (!parsed) return 0;
    const talvo::HidCaps longest = talvo::LongestReportLengths(*parsed);
    for (const auto& collection : parsed->collections) {
        CheckLength(collection.caps.InputReportByteLength, longest.InputReportByteLength);
        CheckLength(collection.caps.OutputReportByteLength, longest.OutputReportByteLength);
        CheckLength(collection.caps.FeatureReportByteLength, longest.FeatureReportByteLength);
    }
    return 0;
}
