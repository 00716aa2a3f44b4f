// talvo4ctl: the TALVO-4 from a terminal and from scripts.

#include <QCoreApplication>
#include <cstdio>

#include "cli/commands.h"

int main(int argc, char** argv) {
    // Before any thread exists, so that every thread inherits the mask.
    static talvo::cli::Interrupts interrupts;
    talvo::cli::Interrupts::CatchInto(interrupts);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvo4ctl"));
    return talvo::cli::RunTool(QCoreApplication::arguments(), stdout, stderr, interrupts);
}
