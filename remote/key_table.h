#pragma once
// The 32 keys of the on-screen remote control: where each button stands and
// the key code it sends.

#include <array>
#include <cstdint>

namespace talvo {

enum class KeyGroup { None, ModeSelect, Brightness, Cross, Overscan, Home };

// What the tool draws on a key's picture.
enum class KeyGlyph { Text, ArrowUp, ArrowDown, ArrowLeft, ArrowRight, Dot, Plus, Minus };

struct RemoteKey {
    int number;  // CommandN
    KeyGroup group;
    int x, y;           // top-left corner in the window's client area, pixels
    int width, height;  // button
    int picture_width, picture_height;
    uint8_t code;
    const char* label;  // text on the picture (plain ASCII keeps it CP932-safe)
    KeyGlyph glyph;
    const char* description;  // what a screen reader announces
};

inline constexpr uint8_t kRemoteKeyCommand = 0x13;

extern const std::array<RemoteKey, 32> kRemoteKeys;

}  // namespace talvo
