#pragma once
// What the tool and the demo share at start-up.

#include <QApplication>
#include <optional>
#include <string>

namespace talvo {

// Application-wide font and identity, set before any window is made.
void PrepareApplication(QApplication& app);

// The windows take no command line, but --help and --version answer on
// standard output before anything asks for a display, so a package check or
// a user on a plain terminal gets an answer instead of an aborted toolkit.
// Returns the exit status when one of them was given; nullopt otherwise, and
// every other argument stays ignored. Where `record_path` is given, it
// receives the FILE of "--record FILE" (a --record without one is a usage
// error, exit status 2).
std::optional<int> AnswerCommandLine(int argc, char** argv, const char* program,
                                     std::string* record_path = nullptr);

// "talvo4 0.80": the program and its version.
std::string VersionLine(const char* program);

}  // namespace talvo
