#pragma once
// A scratch directory shaped like the parts of sysfs the Linux bus reads:
// PCI devices with class and resource files, and I2C adapters under them
// (or under no PCI device, as a software adapter), linked from
// bus/i2c/devices the way the kernel links them, with the drivers bound to
// client addresses.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

class SysfsTree {
public:
    SysfsTree()
        : root_(std::filesystem::temp_directory_path() /
                ("corvane-sysfs-" + std::to_string(std::random_device{}())))
    {
        std::filesystem::create_directories(root_ / "bus" / "i2c" / "devices");
    }
    ~SysfsTree() { std::filesystem::remove_all(root_); }
    SysfsTree(const SysfsTree&) = delete;
    SysfsTree& operator=(const SysfsTree&) = delete;

    const std::filesystem::path& root() const { return root_; }

    // resource lines are "start end flags", one per BAR.
    void pciDevice(const std::string& slot, const std::string& pciClass, const std::vector<std::string>& resource)
    {
        const auto device = pciPath(slot);
        std::filesystem::create_directories(device);
        write(device / "class", pciClass);
        std::string lines;
        for (const auto& line : resource)
            lines += line + "\n";
        write(device / "resource", lines);
    }

    // An adapter under a PCI device, or with an empty slot under no device at all.
    void adapter(int number, const std::string& name, const std::string& slot = {})
    {
        const std::string entry = "i2c-" + std::to_string(number);
        const auto directory = (slot.empty() ? root_ / "devices" : pciPath(slot)) / entry;
        std::filesystem::create_directories(directory);
        write(directory / "name", name);
        std::filesystem::create_directory_symlink(directory, root_ / "bus" / "i2c" / "devices" / entry);
    }

    // The adapter removed, as the kernel removes it when it is unplugged.
    void removeAdapter(int number)
    {
        const std::string entry = "i2c-" + std::to_string(number);
        const auto link = root_ / "bus" / "i2c" / "devices" / entry;
        std::filesystem::remove_all(std::filesystem::canonical(link));
        std::filesystem::remove(link);
    }

    // The sysfs path of a PCI device, an adapter's place.
    std::string place(const std::string& slot) const { return pciPath(slot).string(); }

    // A kernel driver bound to the client at address on adapter number.
    void boundDriver(int number, int address, const std::string& driver)
    {
        char client[16];
        std::snprintf(client, sizeof client, "%d-%04x", number, address);
        const auto directory = root_ / "bus" / "i2c" / "devices" / client;
        std::filesystem::create_directories(directory);
        std::filesystem::create_directories(root_ / "bus" / "i2c" / "drivers" / driver);
        std::filesystem::create_directory_symlink(root_ / "bus" / "i2c" / "drivers" / driver, directory / "driver");
    }

    // The driver unbound again, as "echo N-00aa > …/unbind" leaves it.
    void unbound(int number, int address)
    {
        char client[16];
        std::snprintf(client, sizeof client, "%d-%04x", number, address);
        std::filesystem::remove(root_ / "bus" / "i2c" / "devices" / client / "driver");
    }

private:
    std::filesystem::path pciPath(const std::string& slot) const { return root_ / "devices" / "pci0000:00" / slot; }

    static void write(const std::filesystem::path& file, const std::string& text)
    {
        std::ofstream(file) << text << "\n";
    }

    std::filesystem::path root_;
};
