#pragma once
// --replay: a recorded session (recording.h) in place of the device. It
// lists the recorded interface with the recorded identifiers and descriptor,
// takes each report the tool sends only when it equals the recorded one, in
// order, and answers each read as the device did: with the recorded report,
// with silence, or with a failed read, after the recorded wait unless told
// to answer at once. Where the tool departs from the recording, the replay
// notes where and from then on behaves as a device that is gone.

#include <optional>
#include <string>

#include "device/recording.h"

namespace talvo {

struct Departure {
    size_t index = 0;  // the report line where the tool departed
    // What the recording holds there: "out", "in", or "end" (nothing more).
    std::string recorded_kind;
    std::string recorded;  // its bytes in hex
    // What the tool did there: "out", "read", or "end" (nothing more).
    std::string sent_kind;
    std::string sent;  // the bytes it sent, in hex
};

class ReplayPlatform : public HidPlatform {
  public:
    ReplayPlatform(Recording recording, bool keep_delays);
    ~ReplayPlatform() override;

    std::vector<std::string> enumerate() override;
    std::unique_ptr<HidConnection> open(const std::string& path) override;
    std::vector<HidInterfaceInfo> describe() override;
    OpenRefusal probeOpen(const std::string& path) override;

    // Where the tool first departed from the recording, if it did.
    const std::optional<Departure>& departure() const;
    // The tool is done: a recording that goes on departs where it goes on.
    void finish();

    // The report lengths the recorded descriptor gives, or the recorded ones
    // where there is no descriptor; nullopt when a descriptor gives others
    // than the recording states (then this tool reads it differently).
    std::optional<HidCaps> lengths() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
};

}  // namespace talvo
