#include "timing/timing_commands.h"

namespace talvo {
namespace {

void SetAddress(CommandArray& bytes, uint8_t code, const TimingState& timing, int offset) {
    bytes[0] = code;
    bytes[1] = 0x00;
    bytes[2] = uint8_t(timing.timing_base + offset);
    bytes[3] = timing.timing_page;
}

void SetGroup(CommandArray& bytes, uint8_t code, const TimingState& timing, int k) {
    SetAddress(bytes, code, timing, k);
    for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = timing.timing_image[size_t(k + i)];
}

}  // namespace

void SetTimingMode(CommandArray& bytes, bool enter) {
    bytes[0] = kTimingModeCommand;
    bytes[1] = enter ? 0x01 : 0x00;
}

void SetTimingRead(CommandArray& bytes, const TimingState& timing, int offset) {
    SetAddress(bytes, kTimingReadCommand, timing, offset);
}

void SetTimingWrite(CommandArray& bytes, const TimingState& timing, int k) {
    SetGroup(bytes, kTimingWriteCommand, timing, k);
}

void SetTimingWriteEnd(CommandArray& bytes, const TimingState& timing, int k) {
    // Built afresh rather than patched into what the write left: during the
    // pauses of a load other windows may have sent their own commands.
    SetGroup(bytes, kTimingWriteEndCommand, timing, k);
}

}  // namespace talvo
