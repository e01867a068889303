#pragma once
// The SMBus of a real Linux PC, through the kernel's i2c-dev. Each read or
// write is one SMBus byte-data transaction; the slave address is set only
// when it changes. Every failure comes back with the kernel's errno.
//
// Transactions run on the bus thread, each holding one lock for its whole
// length; what the controllers are (their adapters, gone or not) has a
// lock of its own, held only to read or change that, so a name or a
// driver asked from the window never waits on a slow transaction.

#include "BusAdapter.h"
#include "I2cDev.h"
#include "SmbusAdapters.h"

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <variant>

class LinuxSmbus : public BusAdapter {
public:
    // Controller 1 and controller 2; either may be missing.
    using Controllers = std::array<std::optional<SmbusAdapter>, 2>;

    // sysfs tells which kernel driver owns an address.
    LinuxSmbus(Controllers controllers, std::unique_ptr<I2cDev> i2cDev, std::filesystem::path sysfs = "/sys");
    ~LinuxSmbus() override;
    LinuxSmbus(const LinuxSmbus&) = delete;
    LinuxSmbus& operator=(const LinuxSmbus&) = delete;

    // A missing controller gives 0, and every transaction afterwards fails
    // with ENODEV.
    std::uint16_t DetectSmbus(std::int32_t controllerIndex) override;
    ByteRead ReadSmbus(std::uint8_t device, std::uint8_t reg) override;
    BusOutcome WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data) override;
    ByteRead ReceiveByte(std::uint8_t device) override;
    std::string kernelDriver(std::uint8_t device) const override;
    std::string kernelDriverOn(std::int32_t controllerIndex, std::uint8_t device) const override;
    void permitWriteBehindDriver(std::uint8_t device) override;
    void permitReadBehindDriver(std::int32_t controllerIndex, std::uint8_t device) override;
    std::string kernelClientName(std::int32_t controllerIndex, std::uint8_t device) const override;
    std::string controllerName() const override;
    std::string nameOfController(std::int32_t index) const override;

    // The kernel is removing adapter `number`: a controller on it lets go
    // of its file now, so that the removal can finish, and fails every
    // transaction with ENODEV, opening nothing, until its adapter is back.
    // The controller, when one was on it.
    std::optional<int> adapterRemoved(int number);
    // What an adapter that came is to this bus.
    struct Arrival {
        int controller;
        // Its own adapter, back, under whatever number: followed. Otherwise
        // another of the same name at another place: not followed.
        bool back;
    };
    std::optional<Arrival> adapterAdded(const SmbusAdapter& adapter);
    // The user takes this adapter for the controller (0 or 1) from now on;
    // what was agreed about the last one's drivers is not carried over.
    void takeAdapter(int controller, const SmbusAdapter& adapter);
    bool isGone(int controller) const;
    // Gone as told, or as sysfs shows it now: no such adapter any more.
    bool adapterGone(std::int32_t controllerIndex) const override;
    // The controller's adapter as last known, if it has one.
    std::optional<SmbusAdapter> adapterOf(int controller) const;

private:
    struct AdapterFile {
        int fd = -1;
        int slave = -1;      // the address the file is set to, -1 when unknown
        bool forced = false; // set with I2C_SLAVE_FORCE: a driver owns it
        std::string driver;  // that driver's name
        std::set<std::uint8_t> writableBehindDriver;
        std::set<std::uint8_t> readableBehindDriver;
    };

    // One transaction at device on the chosen controller: what transfer
    // returned (a byte, 0, or -errno), or the -errno of reaching the device;
    // and the driver that owns the address, where the transaction went past one.
    struct Transaction {
        int result;
        std::string driver;
    };
    template <typename Transfer>
    Transaction transact(std::uint8_t device, bool forceAllowed, Transfer transfer);

    // The chosen controller's file, opened on first use and kept; or -errno
    // when there is no controller or its file cannot be opened.
    std::variant<AdapterFile*, int> chosenFile();
    // 0, or -errno. Forces a driver's address only where allowed.
    int addressDevice(AdapterFile& file, std::uint8_t device, bool forceAllowed);
    // The driver sysfs links to the client at device, empty when none.
    std::string driverOf(std::uint8_t device) const;
    std::string driverOn(std::size_t controller, std::uint8_t device) const;
    std::string clientName(std::size_t controller, std::uint8_t device) const;
    std::string nameOf(std::size_t controller) const;
    void dropIfGone(AdapterFile& file, int result);
    void closeFile(AdapterFile& file);

    Controllers controllers_;
    std::unique_ptr<I2cDev> i2cDev_;
    std::filesystem::path sysfs_;
    // Under transactions_: the files, and the controller chosen (read
    // under adapters_ too, so it changes only with both held).
    std::array<AdapterFile, 2> files_;
    std::optional<std::size_t> chosen_;
    // Under adapters_: controllers_ and gone_.
    std::array<bool, 2> gone_{};
    // Always taken in this order.
    mutable std::mutex transactions_;
    mutable std::mutex adapters_;
};
