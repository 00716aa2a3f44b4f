#pragma once
// The 32 keys of the on-screen remote control: where each button stands, the
// key code it sends, and the name talvo4ctl knows it by.

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
    // What people type to talvo4ctl key: the caption where the button shows
    // one, else what it does or where it sits on the cross.
    const char* name;
};

// Every button of the pad, by its number; the window declares a CommandN for
// each, and key_table.cpp checks that each has its row and each row its button.
#define TALVO_REMOTE_BUTTONS(X)                                                                   \
    X(1)                                                                                          \
    X(2)                                                                                          \
    X(3)                                                                                          \
    X(4)                                                                                          \
    X(5)                                                                                          \
    X(6)                                                                                          \
    X(8) X(9) X(10) X(11) X(12) X(13) X(16) X(17) X(18) X(19) X(20) X(21) X(22) X(23) X(24) X(25) \
        X(26) X(27) X(28) X(29) X(30) X(31) X(32) X(33) X(35) X(36)

inline constexpr uint8_t kRemoteKeyCommand = 0x13;

extern const std::array<RemoteKey, 32> kRemoteKeys;

// Key names are ASCII and match in any letter case, under every locale: a
// Turkish one would lower I to a dotless i.
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace talvo
