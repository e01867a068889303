#include "AddressNames.h"

std::string probableDevice(std::uint8_t address)
{
    if (address == 0x08)
        return "the SMBus host controller's own address";
    if (address == 0x0C)
        return "the SMBus alert response address";
    if (address >= 0x18 && address <= 0x1F)
        return "a memory module's temperature sensor";
    if (address >= 0x2C && address <= 0x2F)
        return "a hardware monitor";
    if (address >= 0x30 && address <= 0x37)
        return "memory modules' SPD page-select and write-protect address";
    if (address >= 0x48 && address <= 0x4F)
        return "a temperature sensor";
    if (address >= 0x50 && address <= 0x57)
        return "a memory module's SPD EEPROM";
    if (address == 0x69)
        return "a clock generator";
    return "an unknown device";
}
