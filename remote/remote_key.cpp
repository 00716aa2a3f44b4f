#include "remote/remote_key.h"

#include <algorithm>
#include <charconv>

namespace talvo {

RemoteKeyOutcome SendRemoteKey(DeviceLink& link, uint8_t code, OnDeviceLost on_lost) {
    if (link.heldExclusively()) return {Ending::DeviceBusy, code};
    link.CommandBytes[0] = kRemoteKeyCommand;
    link.CommandBytes[1] = code;
    link.exchange();
    return {EndingOnTrouble(link, on_lost).value_or(Ending::Done), code};
}

std::optional<RemoteKey> RemoteKeyOfButton(int number) {
    const auto it = std::find_if(kRemoteKeys.begin(), kRemoteKeys.end(),
                                 [number](const RemoteKey& key) { return key.number == number; });
    if (it == kRemoteKeys.end()) return std::nullopt;
    return *it;
}

std::optional<RemoteKey> RemoteKeyOfCode(int code) {
    const auto it = std::find_if(kRemoteKeys.begin(), kRemoteKeys.end(),
                                 [code](const RemoteKey& key) { return key.code == code; });
    if (it == kRemoteKeys.end()) return std::nullopt;
    return *it;
}

namespace {

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

}  // namespace

std::optional<RemoteKey> RemoteKeyNamed(std::string_view name) {
    const auto it =
        std::find_if(kRemoteKeys.begin(), kRemoteKeys.end(),
                     [name](const RemoteKey& key) { return SameLetters(key.name, name); });
    if (it != kRemoteKeys.end()) return *it;
    constexpr std::string_view kPrefix = "command";
    if (name.size() <= kPrefix.size()) return std::nullopt;
    if (!SameLetters(name.substr(0, kPrefix.size()), kPrefix)) return std::nullopt;
    const std::string_view digits = name.substr(kPrefix.size());
    int number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size() || digits[0] == '0')
        return std::nullopt;
    return RemoteKeyOfButton(number);
}

}  // namespace talvo
