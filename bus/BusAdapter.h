#pragma once
// The program's only door to the SMBus: everything that talks to a device
// goes through these three operations.

#include <cstdint>

class BusAdapter {
public:
    virtual ~BusAdapter() = default;

    // Makes the given controller (0 or 1) the one later reads and writes
    // use, and returns its SMBus base address, which is only ever shown.
    virtual std::uint16_t DetectSmbus(std::int32_t controllerIndex) = 0;

    // Reads one register of the device at a 7-bit (unshifted) address.
    virtual std::uint8_t ReadSmbus(std::uint8_t device, std::uint8_t reg) = 0;

    // Writes one register; a failure is silent, as on the wire.
    virtual void WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) = 0;
};
