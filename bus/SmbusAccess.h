#pragma once
// Opening the PC's SMBus at start, and saying in words a user can act on
// why it could not be opened.

#include "I2cDev.h"
#include "LinuxSmbus.h"
#include "SmbusAdapters.h"

#include <string>
#include <variant>
#include <vector>

struct SmbusAccessProblem {
    enum class Kind {
        NoController,    // no adapter sits on a PCI SMBus controller
        NoSuchAdapter,   // a named adapter is not in the kernel's list
        I2cDevNotLoaded, // the adapter is there but /dev/i2c-N is not
        PermissionDenied,
        OtherError,
    };
    Kind kind = Kind::OtherError;
    std::string subject; // the device file or the name the user gave
    int error = 0;       // errno, where there was one
};

// What went wrong and what to do about it, in a few lines of plain text.
std::string describe(const SmbusAccessProblem& problem);

// The kind of problem behind a failed open of an i2c-dev file.
SmbusAccessProblem openProblem(const std::string& devicePath, int error);

using SmbusOpening = std::variant<std::unique_ptr<LinuxSmbus>, SmbusAccessProblem>;

// The PC's first two SMBus host controllers as controllers 1 and 2. Works
// when at least one of them can be opened.
SmbusOpening openHostControllers(const std::vector<SmbusAdapter>& adapters, std::unique_ptr<I2cDev> i2cDev);

// The adapters the user named, as controllers 1 and 2 (one or two names).
// Every one must exist and open.
SmbusOpening openNamedAdapters(const std::vector<SmbusAdapter>& adapters, const std::vector<std::string>& names,
                               std::unique_ptr<I2cDev> i2cDev);
