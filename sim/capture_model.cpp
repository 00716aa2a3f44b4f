#include "sim/capture_model.h"

namespace talvo::sim {

void CaptureModel::command(const CommandArray&, Answers& answers) { answers.add({}); }

}  // namespace talvo::sim
