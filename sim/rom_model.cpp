#include "sim/rom_model.h"

namespace talvo::sim {

void RomModel::command(const CommandArray& command, Answers& answers) {
    if (command[0] == 0x04 || command[0] == 0x05 || command[0] == 0x00) answers.add({});
}

void RomModel::data(const CommandArray&, Answers&) {}

}  // namespace talvo::sim
