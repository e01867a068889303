#include "BusOpening.h"

#include "bus/SimulatedBus.h"

OpenedBus simulatedBus(bool holdReadings)
{
    auto bus = std::make_unique<SimulatedBus>();
    if (holdReadings)
        bus->holdReadings();
    return {std::move(bus), QStringLiteral(" (simulated)")};
}

std::variant<OpenedBus, SmbusAccessProblem> openBus(const BusRequest& request, const std::filesystem::path& sysfs,
                                                    const I2cDevFactory& makeI2cDev)
{
    if (request.kind == BusRequest::Kind::Simulated)
        return simulatedBus(request.holdReadings);

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
