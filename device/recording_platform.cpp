#include "device/recording_platform.h"

#include <cerrno>
#include <cstring>

namespace talvo {
namespace {

// A JSON string: quotes, backslashes and control characters escaped, every
// other byte as it is.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(c));
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

std::string Hex4(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(value));
    return Quoted(text);
}

std::string Milliseconds(std::chrono::steady_clock::duration duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f",
                  std::chrono::duration<double, std::milli>(duration).count());
    return text;
}

}  // namespace

class RecordingWriter {
  public:
    RecordingWriter(HidPlatform& inner, std::FILE* file, std::string tool,
                    std::vector<std::string> command)
        : inner_(inner), file_(file), tool_(std::move(tool)), command_(std::move(command)) {}
    ~RecordingWriter() {
        if (!header_written_) writeHeader(nullptr, {});
        std::fclose(file_);
    }
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // The first report describes the device it went to or came from.
    void out(HidConnection& connection, const std::string& path, std::span<const uint8_t> report,
             bool written) {
        if (!header_written_) writeHeader(&connection, path);
        std::string line =
            reportStart() + ",\"" + recording::kOut + "\":\"" + HexString(report) + "\"";
        if (!written) {
            line += std::string(",\"") + recording::kWriteFailed + "\":true";
            if (const int error = connection.lastWriteError())
                line += std::string(",\"") + recording::kWriteError + "\":" + std::to_string(error);
        }
        writeLine(line + '}');
    }

    void in(HidConnection& connection, const std::string& path, std::span<const uint8_t> buffer,
            ReadOutcome outcome, std::chrono::steady_clock::duration waited) {
        if (!header_written_) writeHeader(&connection, path);
        const bool got = outcome == ReadOutcome::Completed;
        std::string line = reportStart() + ",\"" + recording::kIn + "\":\"" +
                           (got ? HexString(buffer) : std::string()) + "\",\"" +
                           recording::kWaited + "\":" + Milliseconds(waited);
        if (outcome == ReadOutcome::TimedOut)
            line += std::string(",\"") + recording::kTimedOut + "\":true";
        if (outcome == ReadOutcome::Failed)
            line += std::string(",\"") + recording::kReadFailed + "\":true";
        writeLine(line + '}');
    }

    void result(const std::string& json, const std::string& output_sha256) {
        if (!header_written_) writeHeader(nullptr, {});
        std::string line = std::string("{\"") + recording::kResult + "\":" + json;
        if (!output_sha256.empty())
            line += std::string(",\"") + recording::kOutputSha256 + "\":" + Quoted(output_sha256);
        writeLine(line + '}');
    }

    bool intact() const { return intact_; }

  private:
    std::string reportStart() {
        return std::string("{\"") + recording::kIndex + "\":" + std::to_string(index_++) + ",\"" +
               recording::kTime + "\":" + Milliseconds(std::chrono::steady_clock::now() - start_);
    }

    // Without a connection: no report went anywhere, and only the tool and
    // the command are known.
    void writeHeader(HidConnection* connection, const std::string& path) {
        header_written_ = true;
        using namespace recording;
        std::string line = std::string("{\"") + kFormat + "\":" + Quoted(kFormatName) + ",\"" +
                           kVersion + "\":" + std::to_string(kFormatVersion) + ",\"" + kTool +
                           "\":" + Quoted(tool_) + ",\"" + kCommand + "\":[";
        for (size_t i = 0; i < command_.size(); ++i)
            line += (i > 0 ? "," : "") + Quoted(command_[i]);
        line += ']';
        if (connection) {
            const HidAttributes attributes = connection->attributes().value_or(HidAttributes{});
            const HidCaps caps = connection->capabilities().value_or(HidCaps{});
            const auto descriptor = connection->reportDescriptor().value_or(std::vector<uint8_t>{});
            std::string port;
            for (const HidInterfaceInfo& info : inner_.describe())
                if (info.path == path) port = info.port;
            line += std::string(",\"") + kVendor + "\":" + Hex4(attributes.VendorID) + ",\"" +
                    kProduct + "\":" + Hex4(attributes.ProductID) + ",\"" + kRelease +
                    "\":" + Hex4(attributes.VersionNumber) + ",\"" + kNode + "\":" + Quoted(path) +
                    ",\"" + kPort + "\":" + Quoted(port) + ",\"" + kInputLength +
                    "\":" + std::to_string(caps.InputReportByteLength) + ",\"" + kOutputLength +
                    "\":" + std::to_string(caps.OutputReportByteLength) + ",\"" + kDescriptor +
                    "\":\"" + HexString(descriptor) + "\"";
        }
        writeLine(line + '}');
    }

    void writeLine(const std::string& line) {
        const bool written = std::fwrite(line.data(), 1, line.size(), file_) == line.size() &&
                             std::fputc('\n', file_) != EOF && std::fflush(file_) == 0;
        intact_ = intact_ && written;
    }

    HidPlatform& inner_;
    std::FILE* file_;
    std::string tool_;
    std::vector<std::string> command_;
    const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool header_written_ = false;
    bool intact_ = true;
    long long index_ = 0;
};

namespace {

// Input reports the link drops as stale were never read, so the recording
// leaves them out, and a replay drops nothing.
class RecordingConnection : public PassingConnection {
  public:
    RecordingConnection(std::unique_ptr<HidConnection> inner, std::string path,
                        std::shared_ptr<RecordingWriter> writer)
        : PassingConnection(std::move(inner)), path_(std::move(path)), writer_(std::move(writer)) {}

    bool writeReport(std::span<const uint8_t> report) override {
        const bool written = inner().writeReport(report);
        writer_->out(inner(), path_, report, written);
        return written;
    }

    ReadOutcome readReport(std::span<uint8_t> buffer, std::chrono::milliseconds timeout) override {
        const auto start = std::chrono::steady_clock::now();
        const ReadOutcome outcome = inner().readReport(buffer, timeout);
        writer_->in(inner(), path_, buffer, outcome, std::chrono::steady_clock::now() - start);
        return outcome;
    }

  private:
    std::string path_;
    std::shared_ptr<RecordingWriter> writer_;
};

}  // namespace

std::unique_ptr<RecordingPlatform> RecordingPlatform::Create(HidPlatform& inner,
                                                             const std::string& path,
                                                             std::string tool,
                                                             std::vector<std::string> command,
                                                             std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (!file) {
        error = path + ": cannot write the recording there (" + std::strerror(errno) + ")";
        return nullptr;
    }
    auto writer =
        std::make_shared<RecordingWriter>(inner, file, std::move(tool), std::move(command));
    return std::unique_ptr<RecordingPlatform>(new RecordingPlatform(inner, std::move(writer)));
}

RecordingPlatform::RecordingPlatform(HidPlatform& inner, std::shared_ptr<RecordingWriter> writer)
    : PassingPlatform(inner), writer_(std::move(writer)) {}

RecordingPlatform::~RecordingPlatform() = default;

std::unique_ptr<HidConnection> RecordingPlatform::open(const std::string& path) {
    auto connection = inner().open(path);
    if (!connection) return nullptr;
    return std::make_unique<RecordingConnection>(std::move(connection), path, writer_);
}

void RecordingPlatform::writeResult(const std::string& json, const std::string& output_sha256) {
    writer_->result(json, output_sha256);
}

bool RecordingPlatform::intact() const { return writer_->intact(); }

}  // namespace talvo
