#pragma once
// The Linux bus on a fake i2c-dev and a fake sysfs: controller 2 only, as
// adapter 1, with devices at the given addresses and kernel drivers bound
// to some of them. What reached the bus is read from the fake's log, which
// sees what the kernel would.

#include "bus/LinuxSmbus.h"
#include "support/FakeI2cDev.h"
#include "support/SysfsTree.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class FakeLinuxBus {
public:
    static constexpr const char* Path = "/dev/i2c-1";

    explicit FakeLinuxBus(const std::vector<int>& devices, const std::map<int, std::string>& drivers = {})
    {
        auto fake = std::make_unique<FakeI2cDev>();
        dev = fake.get();
        dev->files = {Path};
        for (const int address : devices)
            dev->addDevice(Path, address);
        for (const auto& [address, driver] : drivers) {
            sysfs.boundDriver(1, address, driver);
            dev->driverBound.insert({Path, address});
        }
        bus = std::make_unique<LinuxSmbus>(
            LinuxSmbus::Controllers{std::nullopt, SmbusAdapter{1, "SMBus I801 adapter at 0b00", Path, 0x0b00, true, "/sys/devices/pci0000:00/0000:00:1f.3"}},
            std::move(fake), sysfs.root());
    }

    // A driver bound to, or unbound from, the address after the bus was made.
    void bind(int address, const std::string& driver)
    {
        sysfs.boundDriver(1, address, driver);
        dev->driverBound.insert({Path, address});
    }
    void unbind(int address)
    {
        sysfs.unbound(1, address);
        dev->driverBound.erase({Path, address});
    }

    // The addresses a transaction went to since the log was cleared: each
    // read, write or receive belongs to the address last set.
    std::set<int> reached() const
    {
        std::set<int> addresses;
        int slave = -1;
        for (const std::string& entry : dev->log) {
            if (entry.starts_with("slave ") || entry.starts_with("force "))
                slave = std::stoi(entry.substr(6));
            else if (entry.starts_with("read") || entry.starts_with("write") || entry.starts_with("receive"))
                addresses.insert(slave);
        }
        return addresses;
    }

    // Whether anything asked the kernel to go past a driver (I2C_SLAVE_FORCE).
    bool forced() const
    {
        for (const std::string& entry : dev->log) {
            if (entry.starts_with("force "))
                return true;
        }
        return false;
    }

    SysfsTree sysfs;
    FakeI2cDev* dev = nullptr;
    std::unique_ptr<LinuxSmbus> bus;
};
