#include "cli/simulation.h"

#include <chrono>

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

}  // namespace

QString Simulation::FaultHelp() {
    return QStringLiteral(
        "  vanish-after:N        the device is gone after N more reports\n"
        "  silent-after:N        the device answers nothing after N more reports\n"
        "  answer-delay:MS       every answer comes MS milliseconds late\n"
        "  fpga:N                the picture information reports FPGA selection N\n"
        "  size:WxH              the picture information reports W x H pixels\n"
        "  bad-rom-cell:ADDR     the ROM byte at ADDR does not take its write\n"
        "  checksum-never-ready  the ROM never reports its checksum ready\n"
        "  timing-base:N         timing mode reports register base N\n"
        "  refuse:REASON         the device cannot be opened: no-permission, busy,\n"
        "                        gone or other\n");
}

std::unique_ptr<Simulation> Simulation::Create(const QStringList& faults, QString& error) {
    std::unique_ptr<Simulation> simulation(new Simulation);
    for (const QString& fault : faults)
        if (!simulation->apply(fault, error)) return nullptr;
    simulation->platform_.addInterface(simulation->interface_);
    return simulation;
}

bool Simulation::apply(const QString& fault, QString& error) {
    const qsizetype colon = fault.indexOf(QLatin1Char(':'));
    const QString name = colon < 0 ? fault : fault.left(colon);
    const QString value = colon < 0 ? QString() : fault.mid(colon + 1);
    const auto count = [&] { return Number(value, 0, 1'000'000'000); };
    bool ok = true;
    if (name == QLatin1String("vanish-after")) {
        if (const auto n = count())
            talvo_.vanishAfter(int(*n));
        else
            ok = false;
    } else if (name == QLatin1String("silent-after")) {
        if (const auto n = count())
            talvo_.silentAfter(int(*n));
        else
            ok = false;
    } else if (name == QLatin1String("answer-delay")) {
        if (const auto n = Number(value, 0, 10'000))
            talvo_.setAnswerDelay(std::chrono::milliseconds(*n));
        else
            ok = false;
    } else if (name == QLatin1String("fpga")) {
        if (const auto n = Number(value, 0, 255))
            talvo_.capture.fpga_selection = uint8_t(*n);
        else
            ok = false;
    } else if (name == QLatin1String("size")) {
        const QStringList sides = value.split(QLatin1Char('x'));
        const auto width = sides.size() == 2 ? Number(sides[0], 0, 65535) : std::nullopt;
        const auto height = sides.size() == 2 ? Number(sides[1], 0, 65535) : std::nullopt;
        ok = width && height;
        if (ok) {
            talvo_.capture.width = uint16_t(*width);
            talvo_.capture.height = uint16_t(*height);
        }
    } else if (name == QLatin1String("bad-rom-cell")) {
        if (const auto n = Number(value, 0, sim::RomModel::kSize - 1))
            talvo_.rom.failWriteAt(uint32_t(*n));
        else
            ok = false;
    } else if (name == QLatin1String("checksum-never-ready") && value.isEmpty()) {
        talvo_.rom.setPollsBeforeReady(std::nullopt);
    } else if (name == QLatin1String("timing-base")) {
        if (const auto n = Number(value, 0, 255))
            talvo_.timing.setBase(uint8_t(*n));
        else
            ok = false;
    } else if (name == QLatin1String("refuse")) {
        if (const auto reason = RefusalNamed(value)) {
            interface_.refuses_open = true;
            interface_.refusal = *reason;
        } else {
            ok = false;
        }
    } else {
        error = QStringLiteral("unknown simulated fault \"%1\"; known faults:\n%2")
                    .arg(fault, FaultHelp());
        return false;
    }
    if (!ok) error = QStringLiteral("bad value in simulated fault \"%1\"").arg(fault);
    return ok;
}

}  // namespace talvo::cli
