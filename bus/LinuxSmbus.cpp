#include "LinuxSmbus.h"

#include <cerrno>

namespace {
constexpr std::uint8_t NothingAnswered = 0xFF;
}

LinuxSmbus::LinuxSmbus(Controllers controllers, std::unique_ptr<I2cDev> i2cDev)
    : controllers_(std::move(controllers)), i2cDev_(std::move(i2cDev))
{
}

LinuxSmbus::~LinuxSmbus()
{
    for (const AdapterFile& file : files_) {
        if (file.fd >= 0)
            i2cDev_->close(file.fd);
    }
}

std::uint16_t LinuxSmbus::DetectSmbus(std::int32_t controllerIndex)
{
    chosen_.reset();
    if (controllerIndex < 0 || controllerIndex >= static_cast<std::int32_t>(controllers_.size()))
        return 0;
    const auto index = static_cast<std::size_t>(controllerIndex);
    if (!controllers_[index])
        return 0;
    chosen_ = index;
    return controllers_[index]->baseAddress;
}

LinuxSmbus::AdapterFile* LinuxSmbus::chosenFile()
{
    if (!chosen_)
        return nullptr;
    AdapterFile& file = files_[*chosen_];
    if (file.fd < 0) {
        // Tried again on every transaction, so access granted while the
        // window runs (a group change, a module loaded) takes effect.
        const int fd = i2cDev_->open(controllers_[*chosen_]->devicePath);
        if (fd < 0)
            return nullptr;
        file = AdapterFile{fd, -1};
    }
    return &file;
}

bool LinuxSmbus::addressDevice(AdapterFile& file, std::uint8_t device)
{
    if (file.slave == device)
        return true;
    int result = i2cDev_->setSlave(file.fd, device, false);
    // A kernel driver owns the address. This is a bench tool: go ahead, as
    // i2cget -f does.
    if (result == -EBUSY)
        result = i2cDev_->setSlave(file.fd, device, true);
    file.slave = result == 0 ? device : -1;
    dropIfGone(file, result);
    return result == 0;
}

void LinuxSmbus::dropIfGone(AdapterFile& file, int result)
{
    // ENODEV on an open file: the adapter went away (a USB adapter unplugged,
    // its driver unloaded). Close it, so the next transaction opens the
    // device file afresh and finds the adapter once it is back. Some
    // drivers also say ENODEV where no device answers; for them this costs
    // one open per such transaction.
    if (result != -ENODEV || file.fd < 0)
        return;
    i2cDev_->close(file.fd);
    file = AdapterFile{};
}

std::uint8_t LinuxSmbus::ReadSmbus(std::uint8_t device, std::uint8_t reg)
{
    AdapterFile* file = chosenFile();
    if (!file || !addressDevice(*file, device))
        return NothingAnswered;
    // ENXIO (no acknowledge), ENODEV (some drivers, or an unplugged
    // adapter), timeouts: all read as a bus where nothing answered.
    const int value = i2cDev_->readByteData(file->fd, reg);
    dropIfGone(*file, value);
    return value >= 0 ? static_cast<std::uint8_t>(value) : NothingAnswered;
}

void LinuxSmbus::WriteSmbus(std::uint8_t device, std::uint8_t reg, std::uint8_t data)
{
    AdapterFile* file = chosenFile();
    if (!file || !addressDevice(*file, device))
        return;
    dropIfGone(*file, i2cDev_->writeByteData(file->fd, reg, data));
}
