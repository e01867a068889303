#pragma once
// The program's only door to the SMBus: everything that talks to a device
// goes through these operations, and each says whether it worked.

#include <cerrno>
#include <cstdint>
#include <string>

// What became of one transaction.
struct BusOutcome {
    // 0 when the device acknowledged; otherwise an errno: ENXIO when nothing
    // answered, EBUSY for a transaction a kernel driver's ownership held back.
    int error = 0;
    // The kernel driver that owns the address, where one does.
    std::string driver;

    bool ok() const { return error == 0; }
    // Nothing was sent: a kernel driver owns the address, and the user has
    // not agreed to go past it.
    bool heldBackByDriver() const { return error == EBUSY && !driver.empty(); }
};

// A read's byte. A failed read gives 0xFF, what a bus pulled high reads when
// nothing answers, so a shown byte looks as it always has.
struct ByteRead : BusOutcome {
    static constexpr std::uint8_t NothingAnswered = 0xFF;
    std::uint8_t value = NothingAnswered;

    static ByteRead of(std::uint8_t value) { return {{0, {}}, value}; }
    static ByteRead failed(int error, std::string driver = {}) { return {{error, std::move(driver)}, NothingAnswered}; }
};

class BusAdapter {
public:
    virtual ~BusAdapter() = default;

    // Makes the given controller (0 or 1) the one later transactions use, and
    // returns its SMBus base address, which is only ever shown.
    virtual std::uint16_t DetectSmbus(std::int32_t controllerIndex) = 0;

    // Reads one register of the device at a 7-bit (unshifted) address. An
    // address a kernel driver owns is read only after
    // permitReadBehindDriver() or permitWriteBehindDriver(), as i2cget reads
    // it only with -f; until then the read fails with EBUSY, names the
    // driver, and sends nothing.
    virtual ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) = 0;

    // Writes one register. An address a kernel driver owns is written only
    // after permitWriteBehindDriver(); until then the write fails with EBUSY.
    virtual BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) = 0;

    // One receive-byte transaction, as i2cdetect -r probes with: it writes
    // nothing to any device. Only the bus scan uses it.
    virtual ByteRead ReceiveByte(std::uint8_t device) = 0;

    // The kernel driver that owns an address on the chosen controller, as
    // sysfs says, without a transaction; empty when none does.
    virtual std::string kernelDriver(std::uint8_t /*device*/) const { return {}; }
    // The same on a controller (0 or 1), chosen or not. Reads sysfs and what
    // was fixed when the bus was made, never the bus, so any thread may ask.
    virtual std::string kernelDriverOn(std::int32_t /*controllerIndex*/, std::uint8_t /*device*/) const { return {}; }

    // The user agreed to write behind the kernel driver of this address on
    // the chosen controller; reading there comes with it.
    virtual void permitWriteBehindDriver(std::uint8_t /*device*/) {}
    // The user agreed to read behind the kernel driver of this address on
    // the given controller (0 or 1), chosen or not.
    virtual void permitReadBehindDriver(std::int32_t /*controllerIndex*/, std::uint8_t /*device*/) {}
    // The kernel's name for the client at an address on a controller, as
    // sysfs lists it under bus/i2c/devices ("1-002e"); empty where the bus
    // is no kernel's. Reads only what was fixed when the bus was made, so
    // any thread may ask.
    virtual std::string kernelClientName(std::int32_t /*controllerIndex*/, std::uint8_t /*device*/) const { return {}; }

    // The controller's adapter was removed (unplugged, its driver unbound):
    // what a transaction's ENODEV means on a bus where it can be told.
    virtual bool adapterGone(std::int32_t /*controllerIndex*/) const { return false; }

    // The chosen controller in words: "SMBus I801 adapter at efa0".
    virtual std::string controllerName() const = 0;
    // A controller's name without choosing it, for saying what is about to
    // be read; empty when there is no such controller. Reads only what was
    // fixed when the bus was made, so any thread may ask.
    virtual std::string nameOfController(std::int32_t index) const
    {
        return "SMBus Controller " + std::to_string(index + 1);
    }
};
