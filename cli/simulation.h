#pragma once
// --simulate: the simulated TALVO-4 in place of USB, with the developer
// faults that --simulate-fault asks for (the tests drive every exit code
// through them).

#include <QString>
#include <QStringList>
#include <memory>

#include "cli/session.h"
#include "sim/simulated_devices.h"

namespace talvo::cli {

class Simulation {
  public:
    // The devices `choice` asks for, each with its own lock and kept state,
    // and each fault "NAME:VALUE" (or "NAME") applied to every one of them.
    // On a bad fault, or without a private folder for the locks, returns
    // nullptr and says why in `error`.
    static std::unique_ptr<Simulation> Create(const DeviceChoice& choice, QString& error);

    sim::SimPlatform& platform() { return devices_->platform(); }
    // The first simulated TALVO-4.
    sim::TalvoModel& talvo() { return devices_->device(0); }
    // The simulated TALVO-4s are listed, but cannot be opened.
    void refuseOpen(OpenRefusal refusal);

    // One line per fault, for --help.
    static QString FaultHelp();

  private:
    Simulation() = default;
    bool apply(const QString& fault, QString& error);

    std::unique_ptr<sim::SimulatedDevices> devices_;
};

}  // namespace talvo::cli
