#include "sim/timing_model.h"

namespace talvo::sim {

void TimingModel::command(const CommandArray&, Answers& answers) { answers.add({}); }

}  // namespace talvo::sim
