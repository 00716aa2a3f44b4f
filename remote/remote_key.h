#pragma once
// The remote key sequence: one key report and the one answer read after it,
// which nobody looks at. The remote window and the terminal tool both send
// keys through it.

#include <cstdint>
#include <optional>
#include <string_view>

#include "device/device_link.h"
#include "remote/key_table.h"

namespace talvo {

// Sets only the command's two bytes: the other six go out as the previous
// command left them.
void SendRemoteKey(DeviceLink& link, uint8_t code);

// The key of button CommandN, or of a key code; nullopt when the pad has none.
std::optional<RemoteKey> RemoteKeyOfButton(int number);
std::optional<RemoteKey> RemoteKeyOfCode(int code);
// "Command22" (any letter case) names the button; nullopt for anything else.
std::optional<RemoteKey> RemoteKeyNamed(std::string_view name);

}  // namespace talvo
