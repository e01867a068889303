#include "SmbusAccess.h"

#include <cerrno>
#include <cstring>

namespace {

// Opens and closes the file: a check that it can be opened, made before the
// window commits to this bus.
int tryOpen(I2cDev& i2cDev, const std::string& devicePath)
{
    const int fd = i2cDev.open(devicePath);
    if (fd < 0)
        return -fd;
    i2cDev.close(fd);
    return 0;
}

} // namespace

SmbusAccessProblem openProblem(const std::string& devicePath, int error)
{
    using Kind = SmbusAccessProblem::Kind;
    Kind kind = Kind::OtherError;
    if (error == ENOENT)
        kind = Kind::I2cDevNotLoaded;
    else if (error == EACCES || error == EPERM)
        kind = Kind::PermissionDenied;
    return {kind, devicePath, error};
}

std::string describe(const SmbusAccessProblem& problem)
{
    using Kind = SmbusAccessProblem::Kind;
    switch (problem.kind) {
    case Kind::NoController:
        return "No SMBus controller was found: no I2C adapter of this PC sits on a PCI SMBus controller.\n"
               "Its kernel driver may not be loaded (i2c-i801 on Intel chipsets, i2c-piix4 on AMD), "
               "e.g. sudo modprobe i2c-i801\n"
               "i2cdetect -l lists the adapters there are.";
    case Kind::NoSuchAdapter:
        return "There is no I2C adapter \"" + problem.subject +
               "\". Name it by its device file (/dev/i2c-N) or by its exact name; i2cdetect -l lists them.";
    case Kind::I2cDevNotLoaded:
        return problem.subject + " does not exist: the kernel's i2c-dev module is not loaded.\n"
               "Load it with: sudo modprobe i2c-dev\n"
               "To load it at every boot: echo i2c-dev | sudo tee /etc/modules-load.d/i2c-dev.conf";
    case Kind::PermissionDenied:
        return "Permission denied opening " + problem.subject + ".\n"
               "Rather than running this window as root, give your user the i2c group:\n"
               "sudo groupadd -f --system i2c && sudo usermod -aG i2c $USER\n"
               "and let the group open the device files with a udev rule, e.g. in "
               "/etc/udev/rules.d/60-i2c.rules:\n"
               "KERNEL==\"i2c-[0-9]*\", GROUP=\"i2c\", MODE=\"0660\"\n"
               "then run sudo udevadm trigger and log in again.";
    case Kind::OtherError:
        break;
    }
    return "Cannot open " + problem.subject + ": " + std::strerror(problem.error) + ".";
}

SmbusOpening openHostControllers(const std::vector<SmbusAdapter>& adapters, std::unique_ptr<I2cDev> i2cDev)
{
    const std::vector<SmbusAdapter> found = hostControllers(adapters);
    if (found.empty())
        return SmbusAccessProblem{SmbusAccessProblem::Kind::NoController, {}, 0};

    LinuxSmbus::Controllers controllers;
    std::optional<SmbusAccessProblem> firstProblem;
    bool anyOpens = false;
    for (std::size_t index = 0; index < controllers.size() && index < found.size(); ++index) {
        controllers[index] = found[index];
        if (const int error = tryOpen(*i2cDev, found[index].devicePath)) {
            if (!firstProblem)
                firstProblem = openProblem(found[index].devicePath, error);
        } else {
            anyOpens = true;
        }
    }
    if (!anyOpens)
        return *firstProblem;
    return std::make_unique<LinuxSmbus>(std::move(controllers), std::move(i2cDev));
}

SmbusOpening openNamedAdapters(const std::vector<SmbusAdapter>& adapters, const std::vector<std::string>& names,
                               std::unique_ptr<I2cDev> i2cDev)
{
    LinuxSmbus::Controllers controllers;
    for (std::size_t index = 0; index < controllers.size() && index < names.size(); ++index) {
        const auto adapter = findSmbusAdapter(adapters, names[index]);
        if (!adapter)
            return SmbusAccessProblem{SmbusAccessProblem::Kind::NoSuchAdapter, names[index], 0};
        if (const int error = tryOpen(*i2cDev, adapter->devicePath))
            return openProblem(adapter->devicePath, error);
        controllers[index] = adapter;
    }
    return std::make_unique<LinuxSmbus>(std::move(controllers), std::move(i2cDev));
}
