#pragma once
// What the commands share: finding the device, refusing writes that need
// the user's word, and saying why a command failed.

#include "CommandLine.h"
#include "ChipReport.h"
#include "protocol/CorvaneProtocol.h"

#include <iosfwd>
#include <optional>
#include <string>

// Prints "corvane-bench: why" and gives the status back.
int complain(std::ostream& err, int status, const std::string& why);

// "Device 0x48 does not answer on SMBus Controller 2 (the simulated SMBus): No
// such device or address."
std::string noAnswerText(std::uint8_t device, int controller, const std::string& controllerName, const BusOutcome& outcome);

// A device that gave nothing: refused (exit 4) where a kernel driver held
// the transaction back, else it does not answer (exit 3); writes says the
// command was to write there.
int unanswered(std::ostream& err, std::uint8_t device, int controller, const std::string& controllerName,
               const BusOutcome& outcome, bool writes);

// Why a write to the device's address must not go out without --force;
// nothing when it may. Asked before any traffic.
std::optional<std::string> addressRefusal(std::uint8_t device, bool force);
// Why a read of the device's address must not go out without --force: a
// read first writes its register number, and there that is a command.
std::optional<std::string> readRefusal(std::uint8_t device, bool force);
// Why a write behind the kernel driver that owns the device on the chosen
// controller must not go out without --force; with --force, lets it pass.
// Asked once the controller is chosen.
std::optional<std::string> driverRefusal(BusAdapter& bus, std::uint8_t device, bool force);

// With --force, lets reads of the device go past a kernel driver on every
// controller the command may look on; without it, nothing.
void forcePastDrivers(BusAdapter& bus, std::uint8_t device, const CommandRequest& request);

// Why a write that went out failed, in words the user can act on.
std::string writeFailureText(std::uint8_t device, std::uint8_t reg, const BusOutcome& outcome);

// The controller a device-less command uses: the one asked for, else
// controller 2, or controller 1 when only one adapter was named.
int scanController(const CommandRequest& request);

ReportOrigin originOf(const CommandRequest& request, int controller, const std::string& controllerName);
