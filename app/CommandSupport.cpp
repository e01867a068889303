#include "CommandSupport.h"

#include "protocol/BusHealth.h"
#include "protocol/AddressGuard.h"

#include <cerrno>
#include <ostream>

int complain(std::ostream& err, int status, const std::string& why)
{
    err << "corvane-bench: " << why << "\n";
    return status;
}

std::string noAnswerText(std::uint8_t device, int controller, const std::string& controllerName, const BusOutcome& outcome)
{
    return "Device " + deviceText(device) + " does not answer on " + controllerText(controller, controllerName) +
           ": " + errorText(outcome.error) + ".";
}

int unanswered(std::ostream& err, std::uint8_t device, int controller, const std::string& controllerName,
               const BusOutcome& outcome, bool writes)
{
    // A kernel driver owns the address, and nothing was sent: as i2cget
    // without -f, a refusal rather than silence.
    const std::string why = outcome.heldBackByDriver()
                                ? heldBackText(device, controller, outcome.driver, writes)
                                : noAnswerText(device, controller, controllerName, outcome);
    return complain(err, ExitStatus::ofUnanswered(outcome), why);
}

std::optional<std::string> addressRefusal(std::uint8_t device, bool force)
{
    if (const AddressRisk risk = addressRisk(device); risk != AddressRisk::None && !force)
        return forceRefusalText(riskText(device, risk), true);
    return std::nullopt;
}

std::optional<std::string> readRefusal(std::uint8_t device, bool force)
{
    if (readIsGuarded(device) && !force)
        return forceRefusalText(readRiskText(device), false);
    return std::nullopt;
}

std::optional<std::string> driverRefusal(BusAdapter& bus, std::uint8_t device, bool force)
{
    if (force) {
        bus.permitWriteBehindDriver(device);
        return std::nullopt;
    }
    if (const std::string driver = bus.kernelDriver(device); !driver.empty())
        return heldBackText(device, 0, driver, true);
    return std::nullopt;
}

void forcePastDrivers(BusAdapter& bus, std::uint8_t device, const CommandRequest& request)
{
    if (!request.force)
        return;
    for (const int controller : {0, 1}) {
        if (!request.controller || *request.controller == controller)
            bus.permitReadBehindDriver(controller, device);
    }
}

std::string writeFailureText(std::uint8_t device, std::uint8_t reg, const BusOutcome& outcome)
{
    if (outcome.error == EBUSY && !outcome.driver.empty())
        return heldBackText(device, 0, outcome.driver, true);
    return "The write of register " + deviceText(reg) + " at device " + deviceText(device) +
           " failed: " + errorText(outcome.error) + ".";
}

int scanController(const CommandRequest& request)
{
    if (request.controller)
        return *request.controller;
    const bool oneAdapter =
        request.bus.kind == BusRequest::Kind::NamedAdapters && request.bus.adapterNames.size() == 1;
    return oneAdapter ? 0 : 1;
}

ReportOrigin originOf(const CommandRequest& request, int controller, const std::string& controllerName)
{
    return {controller, controllerName, request.device};
}
