#include "cli/simulation.h"

#include <cerrno>
#include <chrono>
#include <limits>

namespace talvo::cli {
namespace {

// A whole number in decimal or, with 0x in front, hexadecimal.
std::optional<long long> Number(const QString& text, long long lowest, long long highest) {
    bool ok = false;
    const long long value = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                                ? text.mid(2).toLongLong(&ok, 16)
                                : text.toLongLong(&ok, 10);
    if (!ok || value < lowest || value > highest) return std::nullopt;
    return value;
}

std::optional<OpenRefusal> RefusalNamed(const QString& name) {
    if (name == QLatin1String("no-permission")) return OpenRefusal::NoPermission;
    if (name == QLatin1String("busy")) return OpenRefusal::Busy;
    if (name == QLatin1String("gone")) return OpenRefusal::Gone;
    if (name == QLatin1String("other")) return OpenRefusal::Other;
    return std::nullopt;
}

// Each fault: its name, the value it takes (empty: none), what it does
// (continued lines already indented), and how it is applied to one device;
// false for a value it cannot take.
struct Fault {
    const char* name;
    const char* value;
    const char* help;
    bool (*apply)(Simulation& simulation, sim::TalvoModel& talvo, const QString& value);
};

std::optional<long long> Count(const QString& value) { return Number(value, 0, 1'000'000'000); }

const Fault kFaults[] = {
    {"vanish-after", "N", "the device is gone after N more reports",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Count(value);
         if (n) t.vanishAfter(int(*n));
         return n.has_value();
     }},
    {"silent-after", "N", "the device answers nothing after N more reports",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Count(value);
         if (n) t.silentAfter(int(*n));
         return n.has_value();
     }},
    {"answer-delay", "MS", "every answer comes MS milliseconds late",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Number(value, 0, 10'000);
         if (n) t.setAnswerDelay(std::chrono::milliseconds(*n));
         return n.has_value();
     }},
    {"fpga", "N", "the picture information reports FPGA selection N",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Number(value, 0, 255);
         if (n) t.capture.fpga_selection = uint8_t(*n);
         return n.has_value();
     }},
    {"size", "WxH", "the picture information reports W x H pixels",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const QStringList sides = value.split(QLatin1Char('x'));
         const auto width = sides.size() == 2 ? Number(sides[0], 0, 65535) : std::nullopt;
         const auto height = sides.size() == 2 ? Number(sides[1], 0, 65535) : std::nullopt;
         if (!width || !height) return false;
         t.capture.width = uint16_t(*width);
         t.capture.height = uint16_t(*height);
         return true;
     }},
    {"bad-rom-cell", "ADDR", "the ROM byte at ADDR does not take its write",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Number(value, 0, sim::RomModel::kSize - 1);
         if (n) t.rom.failWriteAt(uint32_t(*n));
         return n.has_value();
     }},
    {"checksum-never-ready", "", "the ROM never reports its checksum ready",
     [](Simulation&, sim::TalvoModel& t, const QString&) {
         t.rom.setPollsBeforeReady(std::nullopt);
         return true;
     }},
    {"timing-base", "N", "timing mode reports register base N",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Number(value, 0, 255);
         if (n) t.timing.setBase(uint8_t(*n));
         return n.has_value();
     }},
    {"keyboard-first", "",
     "a keyboard interface of the same vendor and product\n"
     "                        is listed before the device's own",
     [](Simulation& s, sim::TalvoModel&, const QString&) {
         // One keyboard before all the devices, however many there are.
         auto& interfaces = s.platform().interfaces();
         const std::string path = "sim:talvo-4-keyboard";
         if (interfaces.empty() || interfaces.front().path != path)
             interfaces.insert(interfaces.begin(), sim::SimPlatform::KeyboardInterface(path));
         return true;
     }},
    {"stall-once", "N", "the report after N more is stalled (EPIPE) once",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Count(value);
         if (n) t.failWritesAfter(int(*n), 1, EPIPE);
         return n.has_value();
     }},
    {"stall-from", "N", "every report after N more is stalled (EPIPE)",
     [](Simulation&, sim::TalvoModel& t, const QString& value) {
         const auto n = Count(value);
         if (n) t.failWritesAfter(int(*n), std::numeric_limits<int>::max(), EPIPE);
         return n.has_value();
     }},
    {"refuse", "REASON",
     "the device cannot be opened: no-permission, busy,\n"
     "                        gone or other",
     [](Simulation& s, sim::TalvoModel&, const QString& value) {
         const auto reason = RefusalNamed(value);
         if (reason) s.refuseOpen(*reason);
         return reason.has_value();
     }},
};

const Fault* FaultNamed(const QString& name) {
    for (const Fault& fault : kFaults)
        if (name == QLatin1String(fault.name)) return &fault;
    return nullptr;
}

}  // namespace

QString Simulation::FaultHelp() {
    QString help;
    for (const Fault& fault : kFaults) {
        QString usage = QLatin1String(fault.name);
        if (*fault.value) usage += QLatin1Char(':') + QLatin1String(fault.value);
        help += QStringLiteral("  %1%2\n").arg(usage.leftJustified(22), QLatin1String(fault.help));
    }
    return help;
}

std::unique_ptr<Simulation> Simulation::Create(const DeviceChoice& choice, QString& error) {
    std::unique_ptr<Simulation> simulation(new Simulation);
    std::string why;
    simulation->devices_ =
        sim::SimulatedDevices::Create(choice.simulated_devices, choice.simulated_speed, why);
    if (!simulation->devices_) {
        error = QStringLiteral("the simulated TALVO-4 cannot be locked: %1")
                    .arg(QString::fromStdString(why));
        return nullptr;
    }
    for (const QString& fault : choice.faults)
        if (!simulation->apply(fault, error)) return nullptr;
    if (choice.simulate_reset) simulation->platform().startAfresh();
    return simulation;
}

void Simulation::refuseOpen(OpenRefusal refusal) {
    for (sim::SimInterface& interface : platform().interfaces()) {
        interface.refuses_open = true;
        interface.refusal = refusal;
    }
}

bool Simulation::apply(const QString& fault, QString& error) {
    const qsizetype colon = fault.indexOf(QLatin1Char(':'));
    const QString name = colon < 0 ? fault : fault.left(colon);
    const QString value = colon < 0 ? QString() : fault.mid(colon + 1);
    const Fault* known = FaultNamed(name);
    // A fault that takes no value is no fault we know with one.
    if (known && *known->value == '\0' && !value.isEmpty()) known = nullptr;
    if (!known) {
        error = QStringLiteral("unknown simulated fault \"%1\"; known faults:\n%2")
                    .arg(fault, FaultHelp());
        return false;
    }
    bool applied = true;
    for (size_t i = 0; i < devices_->size(); ++i)
        applied = applied && known->apply(*this, devices_->device(i), value);
    if (applied) return true;
    error = QStringLiteral("bad value in simulated fault \"%1\"").arg(fault);
    return false;
}

}  // namespace talvo::cli
