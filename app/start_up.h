#pragma once
// What the tool and the demo share at start-up.

#include <QApplication>
#include <optional>

namespace talvo {

// Application-wide font and identity, set before any window is made.
void PrepareApplication(QApplication& app);

// The windows take no command line, but --help and --version answer on
// standard output before anything asks for a display, so a package check or
// a user on a plain terminal gets an answer instead of an aborted toolkit.
// Returns the exit status when one of them was given; nullopt otherwise, and
// every other argument stays ignored.
std::optional<int> AnswerCommandLine(int argc, char** argv, const char* program);

}  // namespace talvo
