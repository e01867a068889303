#pragma once
// An i2c-dev stand-in: device files that open or fail as scripted, devices
// that answer from a register file, and a log of every call in the order
// the kernel would have seen it.

#include "bus/I2cDev.h"

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

class FakeI2cDev : public I2cDev {
public:
    // Device files that open; any other path fails with ENOENT.
    std::set<std::string> files;
    // Paths whose open fails with the given errno.
    std::map<std::string, int> openErrors;
    // Devices that answer, by (file, address); registers read as 0 until written.
    std::map<std::pair<std::string, int>, std::map<int, int>> devices;
    // Addresses a kernel driver owns, by (file, address): a plain set-slave
    // there gives EBUSY.
    std::set<std::pair<std::string, int>> driverBound;
    // Once set, every transaction fails with this errno (an unplugged adapter).
    int transactionError = 0;
    // Device files whose adapter is gone: transactions on a file still open
    // fail with ENODEV, as the kernel's do.
    std::set<std::string> unplugged;
    // Called at each write before it is done, on the caller's thread: a
    // test's moment to pull the adapter out from under it.
    std::function<void()> beforeWrite;
    // The same at each read: a slow bus, say.
    std::function<void()> beforeRead;

    std::vector<std::string> log;
    // Shared, so a test can still count after the bus that owns the fake is gone.
    std::shared_ptr<int> openFiles = std::make_shared<int>(0);

    void addDevice(const std::string& path, int address) { devices[{path, address}]; }
    int& registerOf(const std::string& path, int address, int reg) { return devices[{path, address}][reg]; }

    int open(const std::string& path) override
    {
        log.push_back("open " + path);
        if (openErrors.contains(path))
            return -openErrors.at(path);
        if (!files.contains(path))
            return -ENOENT;
        fdPaths_[nextFd_] = path;
        ++*openFiles;
        return nextFd_++;
    }

    void close(int fd) override
    {
        log.push_back("close " + fdPaths_.at(fd));
        --*openFiles;
    }

    int setSlave(int fd, std::uint8_t address, bool force) override
    {
        log.push_back((force ? "force " : "slave ") + std::to_string(address));
        if (address > 0x7F)
            return -EINVAL;
        if (!force && driverBound.contains({fdPaths_.at(fd), address}))
            return -EBUSY;
        slaves_[fd] = address;
        return 0;
    }

    int readByteData(int fd, std::uint8_t reg) override
    {
        log.push_back("read " + std::to_string(reg));
        if (beforeRead)
            beforeRead();
        auto* device = answering(fd);
        if (!device)
            return -failure(fd);
        return (*device)[reg];
    }

    int writeByteData(int fd, std::uint8_t reg, std::uint8_t data) override
    {
        log.push_back("write " + std::to_string(reg) + " " + std::to_string(data));
        if (beforeWrite)
            beforeWrite();
        auto* device = answering(fd);
        if (!device)
            return -failure(fd);
        (*device)[reg] = data;
        return 0;
    }

    int receiveByte(int fd) override
    {
        log.push_back("receive");
        auto* device = answering(fd);
        if (!device)
            return -failure(fd);
        return (*device)[0];
    }

private:
    int failure(int fd) const
    {
        if (unplugged.contains(fdPaths_.at(fd)))
            return ENODEV;
        return transactionError ? transactionError : ENXIO;
    }

    std::map<int, int>* answering(int fd)
    {
        if (transactionError || unplugged.contains(fdPaths_.at(fd)) || !slaves_.contains(fd))
            return nullptr;
        const auto found = devices.find({fdPaths_.at(fd), slaves_.at(fd)});
        return found == devices.end() ? nullptr : &found->second;
    }

    int nextFd_ = 3;
    std::map<int, std::string> fdPaths_;
    std::map<int, int> slaves_;
};
