// Runs inside a virtual machine booted on Debian's kernel, as the only
// program besides a shell: checks the Linux bus against the real i2c-core,
// i2c-dev, i2c-i801 and i2c-stub drivers. Prints one line per check and a
// verdict the host reads from the serial console.
//
//   kernel-smbus-check before-i2c-dev   i2c-dev not loaded yet
//   kernel-smbus-check                  everything else, as root

#include "Checks.h"
#include "bus/LinuxSmbus.h"
#include "bus/SmbusAccess.h"
#include "bus/SmbusAdapters.h"
#include "chip/Conversions.h"
#include "chip/RegisterMap.h"
#include "protocol/AddressGuard.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace rm = RegisterMap;

namespace {

constexpr std::uint8_t ChipAddress = 0x2E;   // where i2c-stub answers for the chip
constexpr std::uint8_t DriverOwned = 0x50;   // where i2c-stub answers and at24 is bound
constexpr std::uint8_t NobodyHome = 0x10;    // where nothing answers on either adapter
constexpr std::uint16_t Ich9SmbusBase = 0x0700;
const std::string StubName = "SMBus stub driver";

std::string hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::unique_ptr<LinuxSmbus> opened(Checks& check, SmbusOpening opening, const std::string& what)
{
    if (auto* problem = std::get_if<SmbusAccessProblem>(&opening)) {
        check(false, what, describe(*problem));
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<LinuxSmbus>>(opening));
}

// The raw errno of one read where nothing answers, straight from the kernel.
int rawReadError(const std::string& devicePath, std::uint8_t device)
{
    auto dev = makeKernelI2cDev();
    const int fd = dev->open(devicePath);
    if (fd < 0)
        return -fd;
    int result = dev->setSlave(fd, device, false);
    if (result == 0)
        result = dev->readByteData(fd, 0);
    dev->close(fd);
    return result < 0 ? -result : 0;
}

void beforeI2cDev(Checks& check)
{
    const auto adapters = listSmbusAdapters();
    auto opening = openHostControllers(adapters, makeKernelI2cDev());
    const auto* problem = std::get_if<SmbusAccessProblem>(&opening);
    check(problem && problem->kind == SmbusAccessProblem::Kind::I2cDevNotLoaded,
          "without i2c-dev the reason is i2c-dev", problem ? describe(*problem) : "it opened");
    check(problem && describe(*problem).find("sudo modprobe i2c-dev") != std::string::npos,
          "the reason says how to load it");
}

void hostControllers(Checks& check)
{
    const auto controllers = ::hostControllers(listSmbusAdapters());
    check(controllers.size() == 1, "one host controller under /sys/bus/i2c/devices: the ICH9's, as controller 1",
          std::to_string(controllers.size()) + " found");
    if (controllers.empty())
        return;
    check(controllers[0].name == "SMBus I801 adapter at 0700", "its name", controllers[0].name);

    auto bus = opened(check, openHostControllers(listSmbusAdapters(), makeKernelI2cDev()), "host controllers open");
    if (!bus)
        return;
    const std::uint16_t base = bus->DetectSmbus(0);
    check(base == Ich9SmbusBase, "controller 1 base is the I/O BAR, 0x0700", hex(base));

    // QEMU's q35 puts blank memory-module SPD EEPROMs at 0x50..0x57: a
    // device that acknowledges and reads 0x00, through a real controller
    // driver, where an empty address would read 0xFF.
    const std::uint8_t spdBytes = bus->ReadSmbus(0x50, 0).value;
    const std::uint8_t memoryType = bus->ReadSmbus(0x50, 2).value;
    check(spdBytes == 0x00 && memoryType == 0x00, "the blank SPD EEPROM at 0x50 answers 0x00 on controller 1",
          "bytes " + hex(spdBytes) + " " + hex(memoryType));

    const int error = rawReadError(controllers[0].devicePath, NobodyHome);
    check(error == ENXIO, "the i801 says ENXIO where nothing answers", std::strerror(error));
    check(bus->ReadSmbus(NobodyHome, 0).value == 0xFF, "and the bus reads 0xFF there");

    const std::uint16_t absentBase = bus->DetectSmbus(1);
    check(absentBase == 0, "controller 2 is absent: base 0", hex(absentBase));
    check(bus->ReadSmbus(0x50, 0).value == 0xFF, "and reads on it give 0xFF, not controller 1's EEPROM");
}

// Write every register the window polls, read them back in poll order and
// convert them as the window does.
void pollThroughTheStub(Checks& check, LinuxSmbus& bus)
{
    const std::uint8_t pollOrder[] = {rm::Remote1Temperature, rm::LocalTemperature, rm::Remote2Temperature,
                                      0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F,
                                      rm::VccReading, rm::VccpReading, rm::Pwm1Duty};
    const std::uint8_t values[] = {0x19, 0x2D, 0xF6, 0x3C, 0x0F, 0x00, 0x10, 0xFF, 0xFF, 0x01, 0x00,
                                   0xC0, 0x55, 0x99};
    for (std::size_t i = 0; i < std::size(pollOrder); ++i)
        bus.WriteSmbus(ChipAddress, pollOrder[i], values[i]);

    std::uint8_t read[std::size(pollOrder)];
    for (std::size_t i = 0; i < std::size(pollOrder); ++i)
        read[i] = bus.ReadSmbus(ChipAddress, pollOrder[i]).value;
    bool same = true;
    std::string got;
    for (std::size_t i = 0; i < std::size(pollOrder); ++i) {
        same = same && read[i] == values[i];
        got += hex(read[i]) + " ";
    }
    check(same, "the fourteen polled registers keep what was written", got);

    check(rm::temperature(read[0], false) == 25 && rm::temperature(read[2], false) == -10,
          "temperatures convert: 25 and -10 degrees");
    const auto fan1 = rm::fanSpeed(read[3], read[4]);
    check(fan1 && *fan1 == 1385.0f, "fan 1 converts from its tach pair: 5400000 / 0x0F3C = 1385 rpm",
          fan1 ? std::to_string(*fan1) : "no reading");
    check(rm::vcc(read[11]) == 3.3 && rm::dutyPercent(read[13]) == 60, "Vcc 0xC0 is 3.3 V, duty 0x99 is 60 %");

    // A settings change is a read-modify-write of one register.
    bus.WriteSmbus(ChipAddress, rm::Pwm1Configuration, 0x62);
    const std::uint8_t changed = rm::withBehaviour(bus.ReadSmbus(ChipAddress, rm::Pwm1Configuration).value,
                                                   rm::ManualBehaviour);
    bus.WriteSmbus(ChipAddress, rm::Pwm1Configuration, changed);
    const std::uint8_t after = bus.ReadSmbus(ChipAddress, rm::Pwm1Configuration).value;
    check(after == 0xE2, "manual mode lands in bits 7..5 and keeps the rest", hex(after));
}

void stubByName(Checks& check)
{
    const auto adapters = listSmbusAdapters();
    const auto stub = findSmbusAdapter(adapters, StubName);
    check(stub.has_value(), "the stub is found by its name");
    if (!stub)
        return;

    auto bus = opened(check, openNamedAdapters(adapters, {StubName}, makeKernelI2cDev()), "the stub opens by name");
    if (bus) {
        check(bus->DetectSmbus(0) == 0, "a software adapter has no base address");
        pollThroughTheStub(check, *bus);
        check(bus->ReadSmbus(NobodyHome, 0).value == 0xFF, "0xFF where nothing answers on the stub");
    }
    const int error = rawReadError(stub->devicePath, NobodyHome);
    check(error == ENODEV || error == ENXIO, "the stub's own error there", std::strerror(error));

    auto byPath = opened(check, openNamedAdapters(adapters, {stub->devicePath}, makeKernelI2cDev()), "the stub by path");
    if (byPath) {
        byPath->DetectSmbus(0);
        const std::uint8_t duty = byPath->ReadSmbus(ChipAddress, rm::Pwm1Duty).value;
        check(duty == 0x99, "by its device file it is the same adapter, values kept", hex(duty));
    }
}

void driverOwnedAddress(Checks& check)
{
    const auto adapters = listSmbusAdapters();
    const auto stub = findSmbusAdapter(adapters, StubName);
    if (!stub)
        return check(false, "driver-owned address", "no stub");
    const std::string number = std::to_string(stub->number);
    std::ofstream("/sys/bus/i2c/devices/i2c-" + number + "/new_device") << "24c02 0x50\n";
    char link[256] = {};
    const auto length = readlink(("/sys/bus/i2c/devices/" + number + "-0050/driver").c_str(), link, sizeof link - 1);
    check(length > 0 && std::string(link).ends_with("/at24"), "at24 is bound at 0x50", link);

    auto dev = makeKernelI2cDev();
    const int fd = dev->open(stub->devicePath);
    const int plain = fd >= 0 ? dev->setSlave(fd, DriverOwned, false) : fd;
    if (fd >= 0)
        dev->close(fd);
    check(plain == -EBUSY, "the kernel refuses a plain I2C_SLAVE there (EBUSY)", std::strerror(-plain));

    // A byte of the stub's own, put there past the driver by hand.
    const int raw = dev->open(stub->devicePath);
    const bool primed = raw >= 0 && dev->setSlave(raw, DriverOwned, true) == 0 &&
                        dev->writeByteData(raw, 0x06, 0xA7) == 0;
    if (raw >= 0)
        dev->close(raw);
    check(primed, "the stub holds 0xA7 at 0x06, written with I2C_SLAVE_FORCE by hand");

    auto bus = opened(check, openNamedAdapters(adapters, {StubName}, makeKernelI2cDev()), "the stub opens");
    if (!bus)
        return;
    bus->DetectSmbus(0);
    const ByteRead held = bus->ReadSmbus(DriverOwned, 0x06);
    check(held.error == EBUSY && held.driver == "at24", "a plain read there is refused and names its owner",
          std::strerror(held.error) + (" / " + held.driver));

    // What the window makes of it: the guard learns the driver, asks, and
    // after a No says so; the status line's tooltip names the kernel's client.
    AddressGuard guard;
    guard.setController(0);
    guard.learnDriver(DriverOwned, held.driver);
    check(guard.mustAskBeforeReadingBehindDriver(DriverOwned), "the window asks before reading there");
    std::printf("  the question:  %s Read it anyway?\n", readBehindDriverText(DriverOwned, 0, held.driver).c_str());
    std::printf("  after a No:    %s\n", notReadBehindDriverText(DriverOwned, held.driver).c_str());
    std::printf("  its tooltip:   %s\n", unbindDriverText(bus->kernelClientName(0, DriverOwned), held.driver).c_str());
    check(bus->kernelClientName(0, DriverOwned) == number + "-0050", "the client is named as sysfs names it",
          bus->kernelClientName(0, DriverOwned));

    guard.consentToReadBehindDriver(DriverOwned);
    bus->permitReadBehindDriver(0, DriverOwned);
    const ByteRead forced = bus->ReadSmbus(DriverOwned, 0x06);
    check(forced.ok() && forced.value == 0xA7 && forced.driver == "at24",
          "after a Yes the read is forced past at24 and returns the stub's byte", hex(forced.value));
    check(bus->WriteSmbus(DriverOwned, 0x05, 0x5A).heldBackByDriver(), "a Yes to reading is no Yes to writing");

    const BusOutcome refused = bus->WriteSmbus(DriverOwned, 0x05, 0x5A);
    check(refused.error == EBUSY && refused.driver == "at24", "a write there is held back and names its owner",
          std::strerror(refused.error) + (" / " + refused.driver));
    bus->permitWriteBehindDriver(DriverOwned);
    const BusOutcome written = bus->WriteSmbus(DriverOwned, 0x05, 0x5A);
    const ByteRead value = bus->ReadSmbus(DriverOwned, 0x05);
    check(written.ok() && value.ok() && value.value == 0x5A, "once permitted it is written, as i2cset -f does",
          hex(value.value));
}

// A child that drops to nobody must get the permission reason, not a crash.
void unprivilegedUser(Checks& check)
{
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
            _exit(3);
        auto opening = openHostControllers(listSmbusAdapters(), makeKernelI2cDev());
        const auto* problem = std::get_if<SmbusAccessProblem>(&opening);
        const bool denied = problem && problem->kind == SmbusAccessProblem::Kind::PermissionDenied &&
                            describe(*problem).find("usermod -aG i2c") != std::string::npos;
        // And a bus built anyway reads 0xFF rather than failing.
        auto controllers = ::hostControllers(listSmbusAdapters());
        LinuxSmbus bus({controllers.empty() ? std::nullopt : std::optional(controllers[0]), std::nullopt},
                       makeKernelI2cDev());
        bus.DetectSmbus(0);
        const bool quiet = bus.ReadSmbus(0x50, 0).value == 0xFF;
        _exit(denied && quiet ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    check(WIFEXITED(status) && WEXITSTATUS(status) == 0,
          "as user nobody: the permission reason, and reads give 0xFF",
          WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status)) : "killed by a signal");
}

} // namespace

int main(int argc, char* argv[])
{
    Checks check;
    if (argc > 1 && std::string(argv[1]) == "before-i2c-dev") {
        beforeI2cDev(check);
    } else {
        hostControllers(check);
        stubByName(check);
        driverOwnedAddress(check);
        unprivilegedUser(check);
    }
    const int failures = check.failures();
    std::printf("%s: %d failed\n", failures ? "SOME CHECKS FAILED" : "ALL CHECKS PASSED", failures);
    return failures ? 1 : 0;
}
