#pragma once
// Facts about SMBus addresses that hold on any PC, whatever chip we watch.

#include <cstdint>

// A PC's memory modules keep their configuration EEPROMs at 0x50..0x57;
// a stray write there can leave the machine unable to boot.
constexpr bool isMemoryModuleEeprom(std::uint8_t address)
{
    return address >= 0x50 && address <= 0x57;
}
