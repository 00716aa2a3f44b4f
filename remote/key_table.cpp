#include "remote/key_table.h"

#include <cstddef>

namespace talvo {

using G = KeyGroup;
using K = KeyGlyph;

// Positions are relative to the window's client area, also for buttons that
// sit inside a group.
namespace {

constexpr std::array<RemoteKey, 32> kKeys = {{
    {1, G::None, 8, 368, 41, 33, 41, 33, 0x05, "05", K::Text, "キー 05", "05"},
    {2, G::None, 64, 368, 41, 33, 41, 33, 0x06, "06", K::Text, "キー 06", "06"},
    {3, G::None, 120, 368, 41, 33, 41, 33, 0x07, "07", K::Text, "キー 07", "07"},
    {4, G::None, 176, 368, 41, 33, 41, 33, 0x18, "18", K::Text, "キー 18", "18"},
    {5, G::Cross, 67, 280, 41, 17, 41, 17, 0x40, "40", K::Text, "十字キー下段 左", "40"},
    {6, G::Cross, 115, 280, 41, 17, 41, 17, 0x49, "49", K::Text, "十字キー下段 右", "49"},
    {8, G::None, 176, 336, 41, 17, 41, 17, 0x4E, "4E", K::Text, "キー 4E", "4E"},
    {9, G::Overscan, 56, 536, 41, 17, 41, 17, 0x46, "", K::Minus, "オーバースキャン 下げる",
     "overscan-"},
    {10, G::Overscan, 56, 496, 41, 17, 41, 17, 0x43, "", K::Plus, "オーバースキャン 上げる",
     "overscan+"},
    {11, G::Brightness, 120, 496, 41, 17, 41, 17, 0x44, "", K::Plus, "明るさ 上げる",
     "brightness+"},
    {12, G::None, 176, 496, 41, 17, 41, 17, 0x45, "45", K::Text, "キー 45", "45"},
    {13, G::Brightness, 120, 536, 41, 17, 41, 17, 0x47, "", K::Minus, "明るさ 下げる",
     "brightness-"},
    {16, G::None, 8, 496, 41, 17, 41, 17, 0x42, "42", K::Text, "キー 42", "42"},
    {17, G::None, 72, 24, 41, 17, 41, 17, 0x01, "01", K::Text, "キー 01", "01"},
    {18, G::None, 8, 8, 49, 41, 49, 41, 0x00, "00", K::Dot, "キー 00 (大)", "round"},
    {19, G::None, 168, 24, 41, 17, 41, 17, 0x17, "17", K::Text, "キー 17", "17"},
    {20, G::Cross, 15, 152, 25, 25, 25, 25, 0x51, "", K::Dot, "十字キー 左上", "up-left"},
    {21, G::Cross, 95, 152, 41, 33, 41, 33, 0x0C, "", K::ArrowUp, "十字キー 上", "up"},
    {22, G::Cross, 95, 192, 41, 33, 41, 33, 0x03, "", K::Dot, "十字キー 中央", "enter"},
    {23, G::Cross, 95, 232, 41, 33, 41, 33, 0x10, "", K::ArrowDown, "十字キー 下", "down"},
    {24, G::Cross, 39, 192, 41, 33, 41, 33, 0x08, "", K::ArrowLeft, "十字キー 左", "left"},
    {25, G::Cross, 151, 192, 41, 33, 41, 33, 0x04, "", K::ArrowRight, "十字キー 右", "right"},
    {26, G::Cross, 15, 240, 25, 25, 25, 25, 0x53, "", K::Dot, "十字キー 左下", "down-left"},
    {27, G::Cross, 191, 152, 25, 25, 25, 25, 0x52, "", K::Dot, "十字キー 右上", "up-right"},
    {28, G::Cross, 191, 240, 25, 25, 25, 25, 0x54, "", K::Dot, "十字キー 右下", "down-right"},
    {29, G::None, 120, 24, 41, 17, 41, 17, 0x15, "15", K::Text, "キー 15", "15"},
    {30, G::None, 16, 72, 41, 17, 41, 33, 0x1B, "1B", K::Text, "キー 1B", "1B"},
    {31, G::Home, 8, 336, 41, 17, 41, 17, 0x4B, "H1", K::Text, "ホーム 1", "H1"},
    {32, G::Home, 64, 336, 41, 17, 41, 17, 0x4C, "H2", K::Text, "ホーム 2", "H2"},
    {33, G::Home, 120, 336, 41, 17, 41, 17, 0x4D, "H3", K::Text, "ホーム 3", "H3"},
    {35, G::ModeSelect, 120, 72, 41, 17, 41, 17, 0x1E, "M1", K::Text, "モードセレクト 1", "M1"},
    {36, G::ModeSelect, 168, 72, 41, 17, 41, 17, 0x16, "M2", K::Text, "モードセレクト 2", "M2"},
}};

constexpr int RowsOfButton(int number) {
    int rows = 0;
    for (const RemoteKey& key : kKeys) rows += key.number == number ? 1 : 0;
    return rows;
}

constexpr bool SameName(const char* a, const char* b, bool ignore_case) {
    for (; *a && *b; ++a, ++b)
        if (ignore_case ? AsciiLower(*a) != AsciiLower(*b) : *a != *b) return false;
    return *a == *b;
}

// A name picks one button, whatever the letter case, and a caption on the
// picture is the button's name, so what people read is what they type.
constexpr bool NamesAreTheCaptionsAndUnique() {
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        if (kKeys[i].glyph == K::Text && !SameName(kKeys[i].name, kKeys[i].label, false))
            return false;
        for (std::size_t j = i + 1; j < kKeys.size(); ++j)
            if (SameName(kKeys[i].name, kKeys[j].name, true)) return false;
    }
    return true;
}
static_assert(NamesAreTheCaptionsAndUnique());

#define TALVO_CHECK_REMOTE_BUTTON(n) \
    static_assert(RowsOfButton(n) == 1, "every button has one row");
TALVO_REMOTE_BUTTONS(TALVO_CHECK_REMOTE_BUTTON)
#undef TALVO_CHECK_REMOTE_BUTTON
#define TALVO_COUNT_REMOTE_BUTTON(n) +1
static_assert(0 TALVO_REMOTE_BUTTONS(TALVO_COUNT_REMOTE_BUTTON) == kKeys.size(),
              "every row has a button");
#undef TALVO_COUNT_REMOTE_BUTTON

}  // namespace

const std::array<RemoteKey, 32> kRemoteKeys = kKeys;

}  // namespace talvo
