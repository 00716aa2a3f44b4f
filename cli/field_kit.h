#pragma once
// --record and --replay for talvo4ctl: the recording platform over the
// device, or a recording in place of the device, and what each adds to the
// end of a run (the result line; where the tool departed from the recording).

#include <QString>
#include <memory>

#include "cli/console.h"
#include "device/recording_platform.h"
#include "device/replay_platform.h"

namespace talvo::cli {

struct DeviceChoice;
struct Context;

class FieldKit {
  public:
    // The recording --replay names; nullptr when it cannot be used (said on
    // the console).
    static std::unique_ptr<FieldKit> Replay(const DeviceChoice& choice, Console& console);
    ReplayPlatform* replayPlatform() { return replay_.get(); }

    // Records everything that goes through `inner` into --record's file;
    // nullptr when that cannot be written (said on the console).
    HidPlatform* record(HidPlatform& inner, const DeviceChoice& choice, Console& console);

    // After the command: a replay that departed ends with exit status 5
    // and says where; a recording gets the result as its last line.
    // `output` is the file the command wrote, if any. Returns the exit status.
    int finish(int status, const QString& output, Context& context);

  private:
    std::unique_ptr<ReplayPlatform> replay_;
    std::unique_ptr<RecordingPlatform> recording_;
    QString record_path_;
};

// What talvo4ctl says where a replay departed from its recording.
QString DepartureText(const Departure& departure);

}  // namespace talvo::cli
