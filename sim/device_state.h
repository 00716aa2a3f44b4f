#pragma once
// What a simulated TALVO-4 keeps when the program that used it ends, as the
// device keeps it across commands: its ROM, its timing block and its image
// slots, in one file per device. So `rom write` and then `rom verify` in two
// commands agree, as they do on the device.

#include <string>

#include "sim/talvo_model.h"

namespace talvo::sim {

// The lasting state of `talvo` as the file holds it.
std::string DeviceStateBytes(const TalvoModel& talvo);

enum class StateLoad { Loaded, Absent, Unreadable };

// Puts the state kept at `path` into `talvo`. Where there is none, or it
// cannot be read (`why` says how), `talvo` keeps what it has.
StateLoad LoadDeviceState(const std::string& path, TalvoModel& talvo, std::string& why);

// Writes `bytes` to `path` through a file beside it that takes its place
// once whole, so that a program that ends halfway leaves the old state.
bool SaveDeviceState(const std::string& path, const std::string& bytes, std::string& why);

// The lasting state of a device fresh from the factory; faults stay.
void MakeFresh(TalvoModel& talvo);

}  // namespace talvo::sim
