#pragma once
// --simulate: the simulated TALVO-4 in place of USB, with the developer
// faults that --simulate-fault asks for (the tests drive every exit code
// through them).

#include <QString>
#include <QStringList>
#include <memory>

#include "sim/sim_platform.h"

namespace talvo::cli {

// The path the simulated TALVO-4 is listed under.
inline constexpr const char* kSimulatedPath = "sim:talvo-4";

class Simulation {
  public:
    // Applies each fault "NAME:VALUE" (or "NAME"). On a bad one, returns
    // nullptr and says why in `error`.
    static std::unique_ptr<Simulation> Create(const QStringList& faults, QString& error);

    sim::SimPlatform& platform() { return platform_; }
    sim::TalvoModel& talvo() { return talvo_; }
    // The simulated TALVO-4 is listed, but cannot be opened.
    void refuseOpen(OpenRefusal refusal);

    // One line per fault, for --help.
    static QString FaultHelp();

  private:
    Simulation() = default;
    bool apply(const QString& fault, QString& error);

    sim::TalvoModel talvo_;
    sim::SimInterface interface_ = sim::SimPlatform::TalvoInterface(kSimulatedPath, talvo_);
    sim::SimPlatform platform_;
};

}  // namespace talvo::cli
