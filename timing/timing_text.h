#pragma once
// The timing parameters as text, for the terminal tool: "NAME=VALUE"
// assignments, and a listing of the parameters and of the block.

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "timing/timing_state.h"

namespace talvo {

struct TimingAssignment {
    int index = -1;  // into kTimingParameters
    int value = 0;
};

struct TimingAssignmentParse {
    std::optional<TimingAssignment> assignment;
    QString error;  // English, naming what was wrong; empty when parsed
};

// "h2pos=300": a parameter's control name (any letter case), '=', and a
// decimal or 0x-prefixed hexadecimal value within the parameter's range.
TimingAssignmentParse ParseTimingAssignment(const QString& text);

// All of them or none: the first error is returned and nothing is put in
// `assignments`, so that a caller writes nothing unless every one is valid.
QString ParseTimingAssignments(const QStringList& texts,
                               std::vector<TimingAssignment>& assignments);

// The base and page, one line per parameter with its value (a value above
// the parameter's range is marked), and offsets 0-79 of the image in hex,
// eight bytes a line, each line led by its offset.
QString RenderTimingState(const TimingState& timing);

}  // namespace talvo
