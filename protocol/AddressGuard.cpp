#include "AddressGuard.h"

#include <cstdio>

AddressRisk addressRisk(std::uint8_t device)
{
    const int sevenBit = device & 0x7F;
    if (sevenBit == 0x00)
        return AddressRisk::GeneralCall;
    if (sevenBit <= 0x07 || sevenBit >= 0x78)
        return AddressRisk::Reserved;
    if (sevenBit >= 0x30 && sevenBit <= 0x37)
        return AddressRisk::MemoryModuleCommands;
    if (sevenBit >= 0x50 && sevenBit <= 0x57)
        return AddressRisk::MemoryModuleEeprom;
    return AddressRisk::None;
}

bool readIsGuarded(std::uint8_t device)
{
    const AddressRisk risk = addressRisk(device);
    return risk != AddressRisk::None && risk != AddressRisk::MemoryModuleEeprom;
}

std::string deviceText(std::uint8_t device)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", device);
    return text;
}

namespace {

// What a guarded address is, and what a read's write phase does there.
struct GuardedAddress {
    const char* is;
    const char* readDoes;
};

GuardedAddress guardedAddress(AddressRisk risk)
{
    switch (risk) {
    case AddressRisk::GeneralCall:
        return {"is the SMBus general-call address",
                "a read there sends its register number to every device that honours a general call, and 0x06 "
                "resets them all"};
    case AddressRisk::MemoryModuleCommands:
        return {"is where memory modules take their SPD page-select and write-protect commands",
                "a read there selects a memory module's SPD page"};
    case AddressRisk::Reserved:
    case AddressRisk::MemoryModuleEeprom:
    case AddressRisk::None:
        break;
    }
    return {"is reserved by the I2C standard (0x00 to 0x07 and 0x78 to 0x7F are no device's own)",
            "no device should answer a read there, and the byte it sends has a reserved meaning"};
}

} // namespace

std::string riskText(std::uint8_t device, AddressRisk risk)
{
    const std::string address = deviceText(device);
    switch (risk) {
    case AddressRisk::GeneralCall:
        return "Device " + address + " is the SMBus general-call address: every device that honours it takes "
                                     "this write, and a write of 0x06 there resets them all.";
    case AddressRisk::MemoryModuleCommands:
        return "Device " + address + " is where memory modules take their EEPROM's write-protect and "
                                     "page-select commands. On DDR3 a write-protect set there is permanent.";
    case AddressRisk::Reserved:
        return "Device " + address + " " + guardedAddress(risk).is + ": a write there has a reserved meaning.";
    case AddressRisk::MemoryModuleEeprom:
    case AddressRisk::None:
        break;
    }
    return "Device " + address + " may be a memory module's configuration EEPROM. "
                                 "Writing to it can make the computer unbootable.";
}

std::string driverText(std::uint8_t device, const std::string& driver)
{
    return "Device " + deviceText(device) + " is driven by the kernel's " + driver +
           " driver. Writing to it behind the driver can confuse it, and the driver may overwrite the value.";
}

std::string forceRefusalText(const std::string& why, bool writes)
{
    return why + (writes ? " Nothing was written; give --force to write all the same."
                         : " Nothing was sent; give --force to read it all the same.");
}

std::string heldBackText(std::uint8_t device, int controller, const std::string& driver, bool writes)
{
    return forceRefusalText(writes ? driverText(device, driver) : readBehindDriverText(device, controller, driver),
                            writes);
}

std::string controllerText(int controller, const std::string& name)
{
    std::string text = "SMBus Controller " + std::to_string(controller + 1);
    return name.empty() ? text : text + " (" + name + ")";
}

std::string readBehindDriverText(std::uint8_t device, int controller, const std::string& driver)
{
    return "Device " + deviceText(device) + " on " + controllerText(controller) +
           " is driven by the kernel's " + driver +
           " driver. Reading it too can confuse that driver, and both may read wrong values.";
}

std::string notReadBehindDriverText(std::uint8_t device, const std::string& driver)
{
    return "Device " + deviceText(device) + " is driven by the kernel's " + driver + " driver: not read";
}

std::string unbindDriverText(const std::string& client, const std::string& driver)
{
    const std::string drivers = "/sys/bus/i2c/drivers/" + driver;
    return "The kernel's " + driver + " driver holds " + client + " (ls -l /sys/bus/i2c/devices/" + client +
           "/driver).\nTo have the device to yourself, unbind the driver:\n    echo " + client + " | sudo tee " +
           drivers + "/unbind\nand bind it back when you are done:\n    echo " + client + " | sudo tee " + drivers +
           "/bind";
}

std::string readRiskText(std::uint8_t device)
{
    const GuardedAddress what = guardedAddress(addressRisk(device));
    return "Device " + deviceText(device) + " " + what.is + ": " + what.readDoes + ".";
}

std::string pollRefusalText(std::uint8_t device)
{
    return "The poll does not read " + deviceText(device) + ": " + guardedAddress(addressRisk(device)).readDoes;
}

std::vector<WriteQuestion> AddressGuard::questionsFor(std::uint8_t device) const
{
    std::vector<WriteQuestion> questions;
    if (const AddressRisk risk = addressRisk(device); risk != AddressRisk::None)
        questions.push_back({WriteQuestion::Kind::DangerousAddress, device, risk, {}});
    if (const std::string driver = driverOf(device); !driver.empty()) {
        const auto found = behindDriver_.find({controller_, device});
        if (found == behindDriver_.end() || !found->second.writeAgreed)
            questions.push_back({WriteQuestion::Kind::KernelDriver, device, AddressRisk::None, driver});
    }
    return questions;
}

bool AddressGuard::mustAskBeforeReading(std::uint8_t device) const
{
    return readIsGuarded(device) && !readConsented_.contains(device & 0x7F);
}

void AddressGuard::learnDriver(std::uint8_t device, const std::string& driver)
{
    if (!driver.empty())
        drivers_[{controller_, device}] = driver;
}

bool AddressGuard::ownedBy(std::uint8_t device, const std::string& driver)
{
    const Key key{controller_, device};
    if (driverOf(device) == driver)
        return false;
    behindDriver_.erase(key);
    if (driver.empty())
        drivers_.erase(key);
    else
        drivers_[key] = driver;
    return true;
}

std::string AddressGuard::driverOf(std::uint8_t device) const
{
    const auto found = drivers_.find({controller_, device});
    return found == drivers_.end() ? std::string() : found->second;
}

void AddressGuard::consent(std::uint8_t device)
{
    BehindDriver& word = behindDriver_[{controller_, device}];
    word.writeAgreed = true;
    word.readAgreed = true;
}

bool AddressGuard::readHeldBack(std::uint8_t device) const
{
    if (!drivers_.contains({controller_, device}))
        return false;
    const auto found = behindDriver_.find({controller_, device});
    return found == behindDriver_.end() || !found->second.readAgreed;
}

bool AddressGuard::mustAskBeforeReadingBehindDriver(std::uint8_t device) const
{
    if (!readHeldBack(device))
        return false;
    const auto found = behindDriver_.find({controller_, device});
    return found == behindDriver_.end() || !found->second.readDeclined;
}

void AddressGuard::askAgain(std::uint8_t device)
{
    if (const auto found = behindDriver_.find({controller_, device}); found != behindDriver_.end())
        found->second.readDeclined = false;
}
