// i2c-dev as the kernel offers it. libi2c's helpers already turn a failed
// ioctl into -errno.

#include "I2cDev.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

extern "C" {
#include <i2c/smbus.h>
#include <linux/i2c-dev.h>
}

namespace {

class KernelI2cDev final : public I2cDev {
public:
    int open(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }

    void close(int fd) override { ::close(fd); }

    int setSlave(int fd, std::uint8_t address, bool force) override
    {
        const unsigned long request = force ? I2C_SLAVE_FORCE : I2C_SLAVE;
        return ::ioctl(fd, request, static_cast<long>(address)) == 0 ? 0 : -errno;
    }

    int readByteData(int fd, std::uint8_t reg) override { return i2c_smbus_read_byte_data(fd, reg); }

    int writeByteData(int fd, std::uint8_t reg, std::uint8_t data) override
    {
        return i2c_smbus_write_byte_data(fd, reg, data);
    }

    int receiveByte(int fd) override { return i2c_smbus_read_byte(fd); }
};

} // namespace

std::unique_ptr<I2cDev> makeKernelI2cDev()
{
    return std::make_unique<KernelI2cDev>();
}
