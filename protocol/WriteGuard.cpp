#include "WriteGuard.h"

#include <cstdio>

AddressRisk addressRisk(std::uint8_t device)
{
    const int sevenBit = device & 0x7F;
    if (sevenBit == 0x00)
        return AddressRisk::GeneralCall;
    if (sevenBit >= 0x30 && sevenBit <= 0x37)
        return AddressRisk::MemoryModuleCommands;
    if (sevenBit >= 0x50 && sevenBit <= 0x57)
        return AddressRisk::MemoryModuleEeprom;
    return AddressRisk::None;
}

std::string deviceText(std::uint8_t device)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", device);
    return text;
}

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

std::vector<WriteQuestion> WriteGuard::questionsFor(std::uint8_t device) const
{
    std::vector<WriteQuestion> questions;
    if (const AddressRisk risk = addressRisk(device); risk != AddressRisk::None)
        questions.push_back({WriteQuestion::Kind::DangerousAddress, device, risk, {}});
    if (const auto driver = drivers_.find(device); driver != drivers_.end() && !consented_.contains(device))
        questions.push_back({WriteQuestion::Kind::KernelDriver, device, AddressRisk::None, driver->second});
    return questions;
}

void WriteGuard::learnDriver(std::uint8_t device, const std::string& driver)
{
    if (!driver.empty())
        drivers_[device] = driver;
}

void WriteGuard::forgetController()
{
    drivers_.clear();
    consented_.clear();
}
