#include "BusOpening.h"

#include "bus/FaultyBus.h"

#include <QDebug>

std::unique_ptr<BusAdapter> withFaults(std::unique_ptr<SimulatedBus> bus, const std::optional<FaultPlan>& faults)
{
    if (!faults)
        return bus;
    auto faulty = std::make_unique<FaultyBus>(*faults, std::move(bus));
    // The log was writable when the command line was read; the faults
    // matter more than their log.
    if (!faulty->logProblem().empty())
        qWarning().noquote() << QString::fromStdString(faulty->logProblem());
    return faulty;
}

OpenedBus simulatedBus(bool holdReadings, const std::optional<FaultPlan>& faults)
{
    auto bus = std::make_unique<SimulatedBus>();
    if (holdReadings)
        bus->holdReadings();
    return {withFaults(std::move(bus), faults),
            faults ? QStringLiteral(" (simulated, with faults)") : QStringLiteral(" (simulated)")};
}

std::variant<OpenedBus, SmbusAccessProblem> openBus(const BusRequest& request, const std::filesystem::path& sysfs,
                                                    const I2cDevFactory& makeI2cDev)
{
    if (request.kind == BusRequest::Kind::Simulated)
        return simulatedBus(request.holdReadings, request.faults);

    const std::vector<SmbusAdapter> adapters = listSmbusAdapters(sysfs);
    SmbusOpening opening;
    if (request.kind == BusRequest::Kind::NamedAdapters) {
        std::vector<std::string> names;
        for (const QString& name : request.adapterNames)
            names.push_back(name.toStdString());
        opening = openNamedAdapters(adapters, names, makeI2cDev());
    } else {
        opening = openHostControllers(adapters, makeI2cDev());
    }
    if (auto* problem = std::get_if<SmbusAccessProblem>(&opening))
        return *problem;
    return OpenedBus{std::move(std::get<std::unique_ptr<LinuxSmbus>>(opening)), {}};
}
