#pragma once
// The few calls into the kernel's i2c-dev interface (/dev/i2c-N) that the
// Linux bus needs, behind an interface so that its error handling can be
// exercised without a kernel. Every call reports failure as a negative errno.

#include <cstdint>
#include <memory>
#include <string>

class I2cDev {
public:
    virtual ~I2cDev() = default;

    // A file descriptor, or -errno.
    virtual int open(const std::string& path) = 0;
    virtual void close(int fd) = 0;
    // Addresses later transactions to a 7-bit slave address; `force` takes
    // the address even when a kernel driver owns it. 0 or -errno.
    virtual int setSlave(int fd, std::uint8_t address, bool force) = 0;
    // One SMBus byte-data transaction: the byte read (0..255), or -errno.
    virtual int readByteData(int fd, std::uint8_t reg) = 0;
    // One SMBus byte-data transaction: 0 or -errno.
    virtual int writeByteData(int fd, std::uint8_t reg, std::uint8_t data) = 0;
    // One SMBus receive-byte transaction, which writes nothing to the
    // device: the byte (0..255), or -errno.
    virtual int receiveByte(int fd) = 0;
};

// The real thing: open(2), ioctl(2) and libi2c.
std::unique_ptr<I2cDev> makeKernelI2cDev();
