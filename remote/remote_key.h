#pragma once
// The remote key sequence: one key report and the one answer read after it,
// which nobody looks at. The remote window and the terminal tool both send
// keys through it. It does not wait, so there is nothing to stop; while
// another sequence holds the link it sends nothing (Ending::DeviceBusy).

#include <cstdint>
#include <optional>
#include <string_view>

#include "device/device_link.h"
#include "device/sequence.h"
#include "remote/key_table.h"

namespace talvo {

// The detail is the key code the report carried.
using RemoteKeyOutcome = Outcome<uint8_t>;

// Sets only the command's two bytes: the other six go out as the previous
// command left them.
RemoteKeyOutcome SendRemoteKey(DeviceLink& link, uint8_t code,
                               OnDeviceLost on_lost = OnDeviceLost::GoOn);

// The key of button CommandN, or of a key code; nullopt when the pad has none.
std::optional<RemoteKey> RemoteKeyOfButton(int number);
std::optional<RemoteKey> RemoteKeyOfCode(int code);
// The button of a name in the key table ("up", "05", "overscan+") or of
// "Command22", any letter case; nullopt for anything else. A caption that
// reads as a code too ("15") is that button, not the code's decimal reading.
std::optional<RemoteKey> RemoteKeyNamed(std::string_view name);

}  // namespace talvo
