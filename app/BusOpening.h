#pragma once
// Turns the bus the user asked for into a BusAdapter, or into the reason it
// cannot be had.

#include "CommandLine.h"
#include "bus/BusAdapter.h"
#include "bus/SimulatedBus.h"
#include "bus/SmbusAccess.h"

#include <QString>
#include <filesystem>
#include <functional>
#include <memory>
#include <variant>

struct OpenedBus {
    std::unique_ptr<BusAdapter> bus;
    QString titleSuffix; // after the base address in the window title
};

using I2cDevFactory = std::function<std::unique_ptr<I2cDev>()>;

std::variant<OpenedBus, SmbusAccessProblem> openBus(const BusRequest& request,
                                                    const std::filesystem::path& sysfs = "/sys",
                                                    const I2cDevFactory& makeI2cDev = makeKernelI2cDev);

// The built-in simulated chip, on a bus that does wrong to faults where
// given; its title says so, so that simulated readings never pass for a
// real chip's.
OpenedBus simulatedBus(bool holdReadings = false, const std::optional<FaultPlan>& faults = std::nullopt);

// The simulated bus as given, or on a bus doing wrong to the plan.
std::unique_ptr<BusAdapter> withFaults(std::unique_ptr<SimulatedBus> bus, const std::optional<FaultPlan>& faults);
