#pragma once
// The PC's I2C/SMBus adapters as the kernel lists them in sysfs
// (/sys/bus/i2c/devices/i2c-N, which is there
// with or without the kernel's I2C compatibility class). The sysfs root is a parameter so tests
// can hand in a tree of their own.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct SmbusAdapter {
    int number = 0;           // N of i2c-N
    std::string name;         // e.g. "SMBus I801 adapter at 0700"
    std::string devicePath;   // /dev/i2c-N, there only while i2c-dev is loaded
    std::uint16_t baseAddress = 0; // the controller's I/O base, 0 where it has none
    bool onSmbusController = false; // its parent is a PCI SMBus controller (class 0x0C05xx)
    // Where it hangs in the device tree: the sysfs path of its parent
    // device, which for a USB adapter carries its port. With the name, what
    // the adapter is, whatever number the kernel gives it this time.
    std::string place;
};

// The same adapter, maybe under another number: same name, same place.
bool sameAdapter(const SmbusAdapter& a, const SmbusAdapter& b);

// Every adapter, in adapter-number order.
std::vector<SmbusAdapter> listSmbusAdapters(const std::filesystem::path& sysfs = "/sys");

// The adapters of the PC's own SMBus host controllers, in number order:
// the first is "SMBus Controller 1", the second "SMBus Controller 2".
std::vector<SmbusAdapter> hostControllers(const std::vector<SmbusAdapter>& adapters);

// The adapter a user named: by device file ("/dev/i2c-3"), by its exact
// name, or by its place in sysfs (the first adapter under that device).
std::optional<SmbusAdapter> findSmbusAdapter(const std::vector<SmbusAdapter>& adapters, std::string_view nameOrPath);

// The base address an adapter's name ends with ("... at 0b00"), if any.
std::optional<std::uint16_t> baseAddressInName(std::string_view name);
