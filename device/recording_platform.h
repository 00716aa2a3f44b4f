#pragma once
// --record: a platform that passes everything through to the one under it
// and writes every report out and in to a recording (recording.h). Each line
// is flushed as it is written, so a crash or an unplug keeps everything up
// to that moment.

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include "device/passing_platform.h"
#include "device/recording.h"

namespace talvo {

class RecordingWriter;

class RecordingPlatform : public PassingPlatform {
  public:
    // nullptr when `path` cannot be written; `error` then says why.
    static std::unique_ptr<RecordingPlatform> Create(HidPlatform& inner, const std::string& path,
                                                     std::string tool,
                                                     std::vector<std::string> command,
                                                     std::string& error);
    ~RecordingPlatform() override;

    std::unique_ptr<HidConnection> open(const std::string& path) override;

    // The last line: the front end's result, one JSON object in `json`,
    // and the SHA-256 of the file it wrote, in hex, where it wrote one.
    void writeResult(const std::string& json, const std::string& output_sha256 = {});
    // Whether every line so far reached the file.
    bool intact() const;

  private:
    RecordingPlatform(HidPlatform& inner, std::shared_ptr<RecordingWriter> writer);

    std::shared_ptr<RecordingWriter> writer_;
};

}  // namespace talvo
