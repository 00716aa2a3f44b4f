#include "device/report_descriptor.h"

#include <algorithm>
#include <array>
#include <map>

namespace talvo {
namespace {

// Item prefix: bits 0-1 data size code, bits 2-3 type, bits 4-7 tag.
constexpr uint8_t kLongItemPrefix = 0xFE;
enum ItemType : uint8_t { kMain = 0, kGlobal = 1, kLocal = 2 };

enum MainTag : uint8_t {
    kInput = 0x8,
    kOutput = 0x9,
    kCollection = 0xA,
    kFeature = 0xB,
    kEndCollection = 0xC,
};

enum GlobalTag : uint8_t {
    kUsagePage = 0x0,
    kReportSize = 0x7,
    kReportId = 0x8,
    kReportCount = 0x9,
    kPush = 0xA,
    kPop = 0xB,
};

constexpr uint8_t kLocalUsage = 0x0;

// The longest report whose byte length, with the report-ID byte, still fits
// the 16-bit length fields.
constexpr uint64_t kMaxReportBits = (UINT16_MAX - 1) * uint64_t{8};

struct GlobalState {
    uint32_t usage_page = 0;
    uint32_t report_size = 0;
    uint32_t report_count = 0;
};

enum ReportKind { kInputReport, kOutputReport, kFeatureReport, kReportKinds };

// Bits per report ID for each report kind, within one top-level collection.
using ReportBits = std::array<std::map<uint8_t, uint64_t>, kReportKinds>;

uint16_t LongestWithIdByte(const std::map<uint8_t, uint64_t>& reports) {
    uint64_t longest_bits = 0;
    for (const auto& [id, bits] : reports) longest_bits = std::max(longest_bits, bits);
    const uint64_t bytes = (longest_bits + 7) / 8;
    // A kind whose reports carry no bits has nothing to transfer.
    return bytes == 0 ? 0 : static_cast<uint16_t>(bytes + 1);
}

class Parser {
  public:
    explicit Parser(std::span<const uint8_t> descriptor) : bytes_(descriptor) {}

    std::optional<ParsedDescriptor> run() {
        size_t pos = 0;
        while (pos < bytes_.size()) {
            const uint8_t prefix = bytes_[pos];
            if (prefix == kLongItemPrefix) {
                // Long items carry no report layout; only their length matters.
                if (bytes_.size() - pos < 3) return std::nullopt;
                const size_t data_size = bytes_[pos + 1];
                if (bytes_.size() - pos - 3 < data_size) return std::nullopt;
                pos += 3 + data_size;
                continue;
            }
            const size_t size_code = prefix & 0x3;
            const size_t data_size = size_code == 3 ? 4 : size_code;
            if (bytes_.size() - pos - 1 < data_size) return std::nullopt;
            uint32_t data = 0;
            for (size_t i = 0; i < data_size; ++i) data |= uint32_t{bytes_[pos + 1 + i]} << (8 * i);
            pos += 1 + data_size;

            const uint8_t tag = prefix >> 4;
            bool ok = true;
            switch ((prefix >> 2) & 0x3) {
                case kMain:
                    ok = mainItem(tag);
                    break;
                case kGlobal:
                    ok = globalItem(tag, data);
                    break;
                case kLocal:
                    localItem(tag, data, data_size);
                    break;
                default:
                    break;  // reserved item type: nothing to learn from it
            }
            if (!ok) return std::nullopt;
        }
        if (depth_ != 0) return std::nullopt;
        return result_;
    }

  private:
    bool mainItem(uint8_t tag) {
        switch (tag) {
            case kInput:
                return addField(kInputReport);
            case kOutput:
                return addField(kOutputReport);
            case kFeature:
                return addField(kFeatureReport);
            case kCollection:
                if (depth_ == 0) openTopLevel();
                ++depth_;
                break;
            case kEndCollection:
                if (depth_ == 0) return false;
                if (--depth_ == 0) closeTopLevel();
                break;
            default:
                break;  // reserved main item
        }
        first_usage_.reset();
        return true;
    }

    bool addField(ReportKind kind) {
        first_usage_.reset();
        if (depth_ == 0) return false;
        const uint64_t bits = uint64_t{global_.report_size} * global_.report_count;
        uint64_t& total = report_bits_[kind][report_id_];
        if (bits > kMaxReportBits - total) return false;
        total += bits;
        return true;
    }

    bool globalItem(uint8_t tag, uint32_t data) {
        switch (tag) {
            case kUsagePage:
                global_.usage_page = data;
                break;
            case kReportSize:
                global_.report_size = data;
                break;
            case kReportCount:
                global_.report_count = data;
                break;
            case kReportId:
                // 0 is reserved for "no report ID"; IDs are one byte on the wire.
                if (data == 0 || data > 0xFF) return false;
                report_id_ = static_cast<uint8_t>(data);
                result_.uses_report_ids = true;
                break;
            case kPush:
                stack_.push_back(global_);
                break;
            case kPop:
                if (stack_.empty()) return false;
                // The report ID is deliberately not part of the saved state:
                // a Pop leaves the current report ID as it is. Descriptors
                // that push around Report ID items (digitizers do) rely on it.
                global_ = stack_.back();
                stack_.pop_back();
                break;
            default:
                break;  // logical/physical ranges and units do not change lengths
        }
        return true;
    }

    void localItem(uint8_t tag, uint32_t data, size_t data_size) {
        if (tag != kLocalUsage || first_usage_) return;
        // A four-byte usage carries its own usage page in the upper half.
        first_usage_ = data_size == 4 ? data : ((global_.usage_page & 0xFFFF) << 16) | data;
    }

    void openTopLevel() {
        CollectionReportLengths collection;
        const uint32_t usage = first_usage_.value_or((global_.usage_page & 0xFFFF) << 16);
        collection.usage_page = static_cast<uint16_t>(usage >> 16);
        collection.usage = static_cast<uint16_t>(usage & 0xFFFF);
        result_.collections.push_back(collection);
        for (auto& reports : report_bits_) reports.clear();
    }

    void closeTopLevel() {
        HidCaps& caps = result_.collections.back().caps;
        caps.InputReportByteLength = LongestWithIdByte(report_bits_[kInputReport]);
        caps.OutputReportByteLength = LongestWithIdByte(report_bits_[kOutputReport]);
        caps.FeatureReportByteLength = LongestWithIdByte(report_bits_[kFeatureReport]);
    }

    std::span<const uint8_t> bytes_;
    ParsedDescriptor result_;
    GlobalState global_;
    std::vector<GlobalState> stack_;
    uint8_t report_id_ = 0;
    std::optional<uint32_t> first_usage_;
    size_t depth_ = 0;
    ReportBits report_bits_;
};

}  // namespace

std::optional<ParsedDescriptor> ParseReportDescriptor(std::span<const uint8_t> descriptor) {
    return Parser(descriptor).run();
}

HidCaps LongestReportLengths(const ParsedDescriptor& parsed) {
    HidCaps longest;
    for (const auto& c : parsed.collections) {
        longest.InputReportByteLength =
            std::max(longest.InputReportByteLength, c.caps.InputReportByteLength);
        longest.OutputReportByteLength =
            std::max(longest.OutputReportByteLength, c.caps.OutputReportByteLength);
        longest.FeatureReportByteLength =
            std::max(longest.FeatureReportByteLength, c.caps.FeatureReportByteLength);
    }
    longest.numbered_reports = parsed.uses_report_ids;
    return longest;
}

}  // namespace talvo
