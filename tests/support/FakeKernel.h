#pragma once
// A kernel whose SMBus adapter can be unplugged and plugged back: sysfs,
// i2c-dev's files, the chip behind the adapter, and the events udev would
// send, taken by whoever follows the adapters.

#include "bus/AdapterMonitor.h"
#include "bus/LinuxSmbus.h"
#include "bus/SimulatedCorvane.h"
#include "support/FakeI2cDev.h"
#include "support/SysfsTree.h"

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

struct FakeAdapterMonitor : AdapterMonitor {
    std::vector<AdapterEvent> waiting;
    int fd() const override { return -1; }
    std::vector<AdapterEvent> take() override { return std::exchange(waiting, {}); }
};

class FakeKernel {
public:
    static constexpr const char* AdapterName = "SMBus I801 adapter at 0b00";
    static constexpr const char* Home = "0000:00:1f.3";      // where the adapter hangs
    static constexpr const char* Elsewhere = "0000:00:1f.5"; // another of its kind

    SysfsTree sysfs;
    FakeI2cDev* dev = nullptr;
    FakeAdapterMonitor* monitor = nullptr;
    // The chip's registers, as every adapter it is plugged in through has
    // them: the simulated chip's, held still.
    std::map<int, int> chip = heldChip();

    // The adapter plugged in as i2c-1, and a bus on it as controller 2.
    FakeKernel()
    {
        sysfs.pciDevice(Home, "0x0c0500", {});
        sysfs.pciDevice(Elsewhere, "0x0c0500", {});
        auto fake = std::make_unique<FakeI2cDev>();
        dev = fake.get();
        auto watching = std::make_unique<FakeAdapterMonitor>();
        monitor = watching.get();
        monitor_ = std::move(watching);
        plug(1, Home);
        monitor->waiting.clear();
        bus = std::make_unique<LinuxSmbus>(LinuxSmbus::Controllers{std::nullopt, listSmbusAdapters(sysfs.root()).at(0)},
                                           std::move(fake), sysfs.root());
    }

    static std::string path(int number) { return "/dev/i2c-" + std::to_string(number); }

    void plug(int number, const char* slot = Home)
    {
        sysfs.adapter(number, AdapterName, slot);
        dev->files.insert(path(number));
        dev->unplugged.erase(path(number));
        dev->devices[{path(number), 0x2E}] = chip;
        monitor->waiting.push_back({AdapterEvent::Kind::Added, number});
    }
    // The adapter gone; udev's word of it comes with the next events taken.
    void unplug(int number)
    {
        sysfs.removeAdapter(number);
        dev->files.erase(path(number));
        dev->unplugged.insert(path(number));
        monitor->waiting.push_back({AdapterEvent::Kind::Removed, number});
    }

    // The monitor, for the follower to own; once.
    std::unique_ptr<AdapterMonitor> takeMonitor() { return std::move(monitor_); }

    std::unique_ptr<LinuxSmbus> bus;

private:
    static std::map<int, int> heldChip()
    {
        SimulatedCorvane corvane([] { return 0.0; }, [] { return 0.0; });
        corvane.holdMeasurements();
        std::map<int, int> registers;
        for (int reg = 0; reg < 256; ++reg)
            registers[reg] = corvane.read(static_cast<std::uint8_t>(reg));
        return registers;
    }

    std::unique_ptr<AdapterMonitor> monitor_;
};
