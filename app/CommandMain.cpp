#include "CommandMain.h"

#include "BusOpening.h"
#include "CommandSupport.h"
#include "Commands.h"
#include "bus/SimulatedBus.h"
#include "bus/SimulatedChipFile.h"

#include <ostream>

namespace {

// The simulated chip as the last command left it, so that "pwm --duty 60"
// and a later "get 30" agree as they would on hardware.
int runSimulated(const CommandRequest& request, std::ostream& out, std::ostream& err)
{
    auto simulated = std::make_unique<SimulatedBus>();
    SimulatedCorvane& chip = simulated->chip();
    const auto file = simulatedChipFile();
    if (const auto state = loadSimulatedChip(file))
        chip.restore(*state);
    if (request.bus.holdReadings)
        simulated->holdReadings();
    const std::unique_ptr<BusAdapter> bus = withFaults(std::move(simulated), request.bus.faults);
    const int status = runCommand(request, *bus, out, err);
    if (!saveSimulatedChipWrites(file, chip.state(), chip.written()))
        err << "corvane-bench: the simulated chip's registers could not be kept in " << file.string()
            << "; the next command starts from a fresh chip.\n";
    return status;
}

} // namespace

int runCommandLine(const CommandRequest& request, std::ostream& out, std::ostream& err)
{
    if (request.command == Command::Report)
        return runReport(request, out, err);
    if (request.bus.kind == BusRequest::Kind::Simulated)
        return runSimulated(request, out, err);
    auto opened = openBus(request.bus);
    if (const auto* problem = std::get_if<SmbusAccessProblem>(&opened))
        return complain(err, ExitStatus::BadCommandLine,
                        describe(*problem) + " Give --simulate to use the simulated chip.");
    return runCommand(request, *std::get<OpenedBus>(opened).bus, out, err);
}
