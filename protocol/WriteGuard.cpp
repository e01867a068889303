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
