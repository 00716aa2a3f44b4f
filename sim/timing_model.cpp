#include "sim/timing_model.h"

namespace talvo::sim {
namespace {

void Put12(TimingModel::Block& block, size_t k, int value) {
    block[k] = uint8_t(value & 0xFF);
    block[k + 2] = uint8_t(value >> 8);
}

}  // namespace

TimingModel::TimingModel() : block_(PlausibleBlock()) {}

TimingModel::Block TimingModel::PlausibleBlock() {
    Block block{};
    // Bytes that belong to no parameter carry a recognisable pattern.
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(0xA0 | (i & 0x0F));
    Put12(block, 2, 148);    // h2pos
    Put12(block, 6, 36);     // v2pos
    Put12(block, 10, 1280);  // h2size
    Put12(block, 14, 720);   // v2size
    block[18] = 16;          // clamp_start
    block[20] = 48;          // clamp_width
    Put12(block, 40, 1650);  // hst
    Put12(block, 44, 750);   // vst
    block[48] = 40;          // hsw
    block[50] = 5;           // vsw
    Put12(block, 54, 260);   // ph1pos
    Put12(block, 58, 1280);  // ph1size
    Put12(block, 62, 25);    // pv1pos
    Put12(block, 66, 720);   // pv1size
    return block;
}

void TimingModel::command(const CommandArray& command, Answers& answers) {
    switch (command[0]) {
        case 0x0F:
            if (command[1] == 0x01) {
                in_timing_mode_ = true;
                ++mode_starts_;
                answers.add({base_, page_});
            } else {
                in_timing_mode_ = false;
                ++mode_ends_;
                answers.add({0x0F});
            }
            break;
        case 0x10:
            read(command, answers);
            break;
        case 0x11:
            write(command);
            answers.add({0x11});
            break;
        case 0x12:
            ++write_ends_;
            last_write_end_ = command;
            answers.add({0x12});
            break;
        default:
            answers.add({});
            break;
    }
}

std::optional<size_t> TimingModel::offsetOf(uint8_t address, uint8_t page) const {
    if (page != page_ || address < base_) return std::nullopt;
    const size_t offset = size_t(address - base_);
    if (offset >= kBlockSize) return std::nullopt;
    return offset;
}

void TimingModel::read(const CommandArray& command, Answers& answers) {
    ++reads_;
    Answer answer{};
    // Bytes past the block, or a read that misses it, come back as zeros.
    if (const auto offset = offsetOf(command[2], command[3])) {
        for (size_t i = 0; i < 8 && *offset + i < kBlockSize; ++i) answer[i] = block_[*offset + i];
    }
    answers.add(answer);
}

void TimingModel::write(const CommandArray& command) {
    ++writes_;
    const auto offset = offsetOf(command[2], command[3]);
    if (!offset) {
        ++stray_writes_;
        return;
    }
    for (size_t i = 0; i < 4 && *offset + i < kBlockSize; ++i) block_[*offset + i] = command[4 + i];
}

}  // namespace talvo::sim
